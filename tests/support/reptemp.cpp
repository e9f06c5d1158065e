// SPDX-License-Identifier: GPL-3.0-or-later
#include "reptemp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

static std::string racine()
{
    for (const char *var : {"KALU_SCRATCH", "TMPDIR"}) {
        const char *v = getenv(var);
        if (v != nullptr && v[0] != '\0')
            return v;
    }
    return "/tmp";
}

RepTemp::RepTemp()
{
    std::string modele = racine() + "/zolXXXXXX";
    std::vector<char> tampon(modele.begin(), modele.end());
    tampon.push_back('\0');
    if (mkdtemp(tampon.data()) == nullptr)
        ADD_FAILURE() << "cannot make a directory under " << racine();
    rep = tampon.data();
}

RepTemp::~RepTemp()
{
    std::error_code ec;
    std::filesystem::remove_all(rep, ec);
}

void ecritFichier(const std::string &chemin, const std::string &octets)
{
    std::ofstream f(chemin, std::ios::binary | std::ios::trunc);
    f.write(octets.data(), static_cast<std::streamsize>(octets.size()));
    f.close();
    if (!f)
        ADD_FAILURE() << "cannot write " << chemin;
}

std::string litFichier(const std::string &chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    if (!f) {
        ADD_FAILURE() << "cannot read " << chemin;
        return std::string();
    }
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

EnvTemp::EnvTemp(const char *nom_, const char *valeur) : nom(nom_)
{
    const char *v = getenv(nom_);
    existait = v != nullptr;
    if (existait)
        avant = v;
    if (valeur != nullptr)
        setenv(nom_, valeur, 1);
    else
        unsetenv(nom_);
}

EnvTemp::~EnvTemp()
{
    if (existait)
        setenv(nom.c_str(), avant.c_str(), 1);
    else
        unsetenv(nom.c_str());
}
