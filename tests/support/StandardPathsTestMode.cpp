// Linked into every test that uses Qt (koramo_add_test adds it): QStandardPaths answers with
// test locations (~/.qttest/...), so no test reads or writes the user's own configuration,
// caches or data. GIO and the trash read the XDG_* variables themselves and are unaffected;
// tests that need them set those variables.
#include <QStandardPaths>

#ifdef KORAMO_GTEST
#include <gtest/gtest.h>
#endif

namespace
{
#ifdef KORAMO_GTEST
class StandardPathsTestMode final : public ::testing::Environment
{
public:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new StandardPathsTestMode);
#else
// Before main(), so it holds before any QApplication, whichever main the test has.
void enableStandardPathsTestMode()
{
    QStandardPaths::setTestModeEnabled(true);
}
Q_CONSTRUCTOR_FUNCTION(enableStandardPathsTestMode)
#endif
} // namespace
