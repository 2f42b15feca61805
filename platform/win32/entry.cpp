// The Windows process entry: the wide main runs the program.
int DravolinMain();

int wmain() { return DravolinMain(); }
