// The precompiled test headers are compiled with this program, which does nothing.
int main() { return 0; }
