#include "zoltabx.h"

#include <climits>
#include <new>

template <typename T>
int ajoutetab(int &n, T *&tab, int &nmax, T valeur)
{
    const int pas = 75;
    int k = n;
    if (nmax < k + 1) {
        if (nmax > INT_MAX - pas)
            return -1;
        T *plus = new (std::nothrow) T[nmax + pas];
        if (plus == nullptr)
            return -1;
        for (int i = 0; i < k; ++i)
            plus[i] = tab[i];
        delete[] tab;
        tab = plus;
        nmax += pas;
    }
    tab[k] = valeur;
    n = k + 1;
    return 0;
}

template int ajoutetab<char>(int &, char *&, int &, char);
template int ajoutetab<int>(int &, int *&, int &, int);
template int ajoutetab<double>(int &, double *&, int &, double);
template int ajoutetab<char *>(int &, char **&, int &, char *);
template int ajoutetab<int *>(int &, int **&, int &, int *);
template int ajoutetab<double *>(int &, double **&, int &, double *);
