// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in DVB-S2 reference tables and the getters that hand them out
// in the form of a ZolTable (declared in zolconf.h). The names and values
// are fixed data shared by every load; only the lists that point at them
// are new.
#include "zolconf.h"

#include <cstddef>
#include <new>

namespace
{

const int NCOLONNES = 5;

struct Mode {
    const char *nom;
    double valeurs[NCOLONNES];
};

const char *const colonnes[NCOLONNES] = {"ESN0THQ_DB", "ESN0REQ_DB", "SYMBL_BITN", "FRAME_USFLBITN",
                                         "FRAME_TOTLBITN"};

// Normal frames (64800 bits), sorted by threshold. Useful bits are the BCH
// information block less the 80-bit base-band header.
const Mode dvbs2[] = {
    {"QPSK_1_4", {-2.35, -1.1, 2, 15928, 64800}},
    {"QPSK_1_3", {-1.24, -0.24, 2, 21328, 64800}},
    {"QPSK_2_5", {-0.3, 0.65, 2, 25648, 64800}},
    {"QPSK_1_2", {1.0, 1.8, 2, 32128, 64800}},
    {"QPSK_3_5", {2.23, 3.03, 2, 38608, 64800}},
    {"QPSK_2_3", {3.1, 3.9, 2, 42960, 64800}},
    {"QPSK_3_4", {4.03, 4.83, 2, 48328, 64800}},
    {"QPSK_4_5", {4.68, 5.48, 2, 51568, 64800}},
    {"QPSK_5_6", {5.18, 5.98, 2, 53760, 64800}},
    {"8PSK_3_5", {5.5, 6.5, 3, 38608, 64800}},
    {"QPSK_8_9", {6.2, 7.0, 2, 57392, 64800}},
    {"QPSK_9_10", {6.42, 7.22, 2, 58112, 64800}},
    {"8PSK_2_3", {6.62, 7.52, 3, 42960, 64800}},
    {"8PSK_3_4", {7.91, 8.81, 3, 48328, 64800}},
    {"16APSK_2_3", {8.97, 10.07, 4, 42960, 64800}},
    {"8PSK_5_6", {9.35, 10.25, 3, 53760, 64800}},
    {"16APSK_3_4", {10.21, 11.31, 4, 48328, 64800}},
    {"8PSK_8_9", {10.69, 11.59, 3, 57392, 64800}},
    {"8PSK_9_10", {10.98, 11.88, 3, 58112, 64800}},
    {"16APSK_4_5", {11.03, 12.13, 4, 51568, 64800}},
    {"16APSK_5_6", {11.61, 12.71, 4, 53760, 64800}},
    {"32APSK_3_4", {12.73, 14.73, 5, 48328, 64800}},
    {"16APSK_8_9", {12.89, 13.99, 4, 57392, 64800}},
    {"16APSK_9_10", {13.13, 14.23, 4, 58112, 64800}},
    {"32APSK_4_5", {13.64, 15.64, 5, 51568, 64800}},
    {"32APSK_5_6", {14.28, 16.28, 5, 53760, 64800}},
    {"32APSK_8_9", {15.69, 17.69, 5, 57392, 64800}},
    {"32APSK_9_10", {16.05, 18.05, 5, 58112, 64800}},
};

// Short frames (16200 bits): no rate-9/10 modes.
const Mode dvbs2short[] = {
    {"QPSK_1_4", {-2.1, -0.85, 2, 2992, 16200}},
    {"QPSK_1_3", {-0.99, 0.01, 2, 5152, 16200}},
    {"QPSK_2_5", {-0.05, 0.9, 2, 6232, 16200}},
    {"QPSK_1_2", {1.25, 2.05, 2, 6952, 16200}},
    {"QPSK_3_5", {2.48, 3.28, 2, 9472, 16200}},
    {"QPSK_2_3", {3.35, 4.15, 2, 10552, 16200}},
    {"QPSK_3_4", {4.28, 5.08, 2, 11632, 16200}},
    {"QPSK_4_5", {4.93, 5.73, 2, 12352, 16200}},
    {"QPSK_5_6", {5.43, 6.23, 2, 13072, 16200}},
    {"8PSK_3_5", {5.75, 6.75, 3, 9472, 16200}},
    {"QPSK_8_9", {6.45, 7.25, 2, 14152, 16200}},
    {"8PSK_2_3", {6.87, 7.77, 3, 10552, 16200}},
    {"8PSK_3_4", {8.16, 9.06, 3, 11632, 16200}},
    {"16APSK_2_3", {9.22, 10.32, 4, 10552, 16200}},
    {"8PSK_5_6", {9.6, 10.5, 3, 13072, 16200}},
    {"16APSK_3_4", {10.46, 11.56, 4, 11632, 16200}},
    {"8PSK_8_9", {10.94, 11.84, 3, 14152, 16200}},
    {"16APSK_4_5", {11.28, 12.38, 4, 12352, 16200}},
    {"16APSK_5_6", {11.86, 12.96, 4, 13072, 16200}},
    {"32APSK_3_4", {12.98, 14.98, 5, 11632, 16200}},
    {"16APSK_8_9", {13.14, 14.24, 4, 14152, 16200}},
    {"32APSK_4_5", {13.89, 15.89, 5, 12352, 16200}},
    {"32APSK_5_6", {14.53, 16.53, 5, 13072, 16200}},
    {"32APSK_8_9", {15.94, 17.94, 5, 14152, 16200}},
};

template <size_t N> int *dimx(const Mode (&)[N], int &dimn)
{
    int *d = new (std::nothrow) int[2];
    if (d == nullptr)
        return nullptr;
    d[0] = static_cast<int>(N);
    d[1] = NCOLONNES;
    dimn = 2;
    return d;
}

template <size_t N> const char ***idnx(const Mode (&table)[N])
{
    const char ***id = new (std::nothrow) const char **[2];
    const char **lignes = new (std::nothrow) const char *[N];
    const char **cols = new (std::nothrow) const char *[NCOLONNES];
    if (id == nullptr || lignes == nullptr || cols == nullptr) {
        delete[] id;
        delete[] lignes;
        delete[] cols;
        return nullptr;
    }
    for (size_t i = 0; i < N; ++i)
        lignes[i] = table[i].nom;
    for (int j = 0; j < NCOLONNES; ++j)
        cols[j] = colonnes[j];
    id[0] = lignes;
    id[1] = cols;
    return id;
}

template <size_t N> const double **tabx(const Mode (&table)[N])
{
    const double **t = new (std::nothrow) const double *[N];
    if (t == nullptr)
        return nullptr;
    for (size_t i = 0; i < N; ++i)
        t[i] = table[i].valeurs;
    return t;
}

} // namespace

int *zoltdd_dvbs2_dimx(int &dimn)
{
    return dimx(dvbs2, dimn);
}
const char ***zoltdd_dvbs2_idnx()
{
    return idnx(dvbs2);
}
const double **zoltdd_dvbs2_tabx()
{
    return tabx(dvbs2);
}

int *zoltdd_dvbs2short_dimx(int &dimn)
{
    return dimx(dvbs2short, dimn);
}
const char ***zoltdd_dvbs2short_idnx()
{
    return idnx(dvbs2short);
}
const double **zoltdd_dvbs2short_tabx()
{
    return tabx(dvbs2short);
}
