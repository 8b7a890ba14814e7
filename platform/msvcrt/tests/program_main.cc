// A program of the machine linked as the system's programs are ("program WINDOWS_PATH HOST_PATH"): its only C
// stream calls are its library's. Exits with the number of failures.
extern "C" int ProbeWriteLines(const char* windows_path, const char* host_path);

int main(int argc, char** argv) { return argc == 3 ? ProbeWriteLines(argv[1], argv[2]) : 100; }
