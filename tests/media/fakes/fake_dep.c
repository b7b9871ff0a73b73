/* A library that only the fake SDL's folder holds. */
int zv_dep_marker(void);
int zv_dep_marker(void) { return 42; }
