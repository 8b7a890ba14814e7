// A program that links the probe DLL at load time, as the system's programs link their DLLs: its entry must hear
// process attach before main and process detach at exit.
extern "C" int ProbeAnswer();

int main() { return ProbeAnswer() == 42 ? 0 : 1; }
