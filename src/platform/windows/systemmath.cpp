// The sine and cosine the benchmark's loops call, taken from the system's C
// runtime (msvcrt.dll) instead of the MinGW-w64 static runtime. The latter
// computes them on the x87 unit through long double (fsin, fcos), which made
// the floating-point loop four times and the trigonometric loop nearly twice
// as slow as the same loops on Linux: the loops would have timed the old
// coprocessor instead of the scalar SSE work they stand for. The system's
// functions are SSE code, as on every other system.
//
// Defined here, in an object file the program links, these definitions come
// before the static runtime's, whose archive members are then never pulled
// in. The import library names each function only by its import-table slot.

extern "C" {

extern double (*__imp_sin)(double);
extern double (*__imp_cos)(double);

double sin(double x) {
    return __imp_sin(x);
}

double cos(double x) {
    return __imp_cos(x);
}

// The compiler merges sin(x) and cos(x) of one argument into one sincos call,
// which the system's runtime does not have.
void sincos(double x, double* s, double* c) {
    *s = __imp_sin(x);
    *c = __imp_cos(x);
}

} // extern "C"
