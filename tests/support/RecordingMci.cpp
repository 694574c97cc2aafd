#include "RecordingMci.h"
