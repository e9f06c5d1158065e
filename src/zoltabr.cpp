#include "zoltabr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

static int pas_croissance = 64;

void ajoutetabx_pas(int pas)
{
    pas_croissance = pas < 1 ? 1 : pas;
}

int ajoutetabx(size_t taille, void *&base, void *&dernier, void *&derniere_place,
               const void *valeur)
{
    char *b = static_cast<char *>(base);
    size_t utilise = b ? static_cast<size_t>(static_cast<char *>(dernier) - b) + taille : 0;
    if (dernier == derniere_place) {
        size_t pas = static_cast<size_t>(pas_croissance);
        if (taille != 0 && pas > (SIZE_MAX - utilise) / taille)
            return -1;
        size_t total = utilise + taille * pas;
        b = static_cast<char *>(realloc(b, total));
        if (b == nullptr)
            return -1;
        base = b;
        derniere_place = b + total - taille;
    }
    char *place = b + utilise;
    memcpy(place, valeur, taille);
    dernier = place;
    return 0;
}
