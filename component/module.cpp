// The component module. Its entry points (class object, registration and
// unloading) live beside this file; the subsystem libraries linked whole into
// the module supply the exported classes and functions.
