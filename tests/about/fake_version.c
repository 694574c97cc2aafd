int ENTRY(void)
{
    return VERSION;
}
