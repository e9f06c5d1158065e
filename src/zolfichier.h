// zolfichier: file utilities over 8-bit, NUL-terminated paths.
#ifndef ZOLFICHIER_H
#define ZOLFICHIER_H

// 1 if `nom` names a file that can be opened for reading (it is closed again
// at once), otherwise 0. A directory is not a file: it gives 0. Writes no
// message.
int fexiste(const char *nom);

#endif
