// zolplat: the few services of the operating system that Zol needs and that
// differ between platforms. This is the POSIX implementation.
#ifndef ZOLPLAT_H
#define ZOLPLAT_H

// True when `chemin` names an existing directory (symbolic links followed).
bool zolplat_repertoire(const char *chemin);

#endif
