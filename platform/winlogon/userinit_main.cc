// userinit: the stand-in for Windows' own userinit.exe, the first program of the "Userinit" value. The shell it
// would start plays no part in the machine (RunOnce is run by Winlogon at logon), so it ends at once.
int main() { return 0; }
