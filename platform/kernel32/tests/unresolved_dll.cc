// A library with an import that nothing provides: loading it must fail with "procedure not found".
extern "C" int NoSuchFunctionAnywhere();
extern "C" int UnresolvedAnswer() { return NoSuchFunctionAnywhere(); }
