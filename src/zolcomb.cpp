#include "zolcomb.h"

void initcounter(int n, int *c)
{
    if (n < 1)
        return;
    for (int i = 0; i < n - 1; ++i)
        c[i] = 1;
    c[n - 1] = 0;
}

int nextcounter(int n, const int *lim, int *c)
{
    if (n < 1)
        return 0;
    int i = n - 1;
    if (++c[i] != lim[i] + 1)
        return 1;
    // Carry: every position that overflowed goes back to 1, unless the
    // counter is past its last tuple, which is left in c.
    for (;;) {
        c[i] = lim[i];
        if (i == 0)
            return 0;
        if (++c[i - 1] != lim[i - 1] + 1)
            break;
        --i;
    }
    for (int j = i; j < n; ++j)
        c[j] = 1;
    return 1;
}
