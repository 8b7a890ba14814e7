// tokenping: the exit code says whether a token is plugged in (1) or not (0), as the token library's Aping does.
#include "tokenio.h"

int main() { return Aping(); }
