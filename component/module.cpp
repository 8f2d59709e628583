// The component module. Its entry points (class object, registration and
// unloading) are in entry_points.cpp, part of medley_component_core; the
// subsystem libraries linked whole into the module supply the exported
// classes and functions, and platform's module entry its DllMain.
