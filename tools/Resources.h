#ifndef RESOURCES_H
#define RESOURCES_H

// Registers the embedded images (":/images/Images/Icons/...").
// The images live in the static core library, where the linker would drop them
// unless something refers to them: call this once at program start, after the
// QApplication exists and before any window or icon is built. Every test that
// builds a form or loads an icon calls it too. Calling it again does nothing.
void InitResources();

#endif // RESOURCES_H
