// SPDX-License-Identifier: GPL-3.0-or-later
// Real files for tests: a fresh directory per test, whole-file reads and
// writes, and environment variables set for the length of a scope.
#ifndef KALU_TEST_REPTEMP_H
#define KALU_TEST_REPTEMP_H

#include <string>

// A new, empty directory under KALU_SCRATCH (else TMPDIR, else /tmp),
// removed with everything in it when the object goes.
class RepTemp
{
  public:
    RepTemp();
    ~RepTemp();
    RepTemp(const RepTemp &) = delete;
    RepTemp &operator=(const RepTemp &) = delete;

    const std::string &chemin() const { return rep; }
    // Path of `nom` inside the directory.
    std::string operator/(const std::string &nom) const { return rep + "/" + nom; }

  private:
    std::string rep;
};

// Writes exactly `octets` to the file `chemin` (created or emptied); fails
// the current test when it cannot.
void ecritFichier(const std::string &chemin, const std::string &octets);
// The whole content of the file `chemin`; fails the current test when it
// cannot be read.
std::string litFichier(const std::string &chemin);

// Sets (or, with a null value, unsets) an environment variable and puts the
// previous state back when the object goes.
class EnvTemp
{
  public:
    EnvTemp(const char *nom, const char *valeur);
    ~EnvTemp();
    EnvTemp(const EnvTemp &) = delete;
    EnvTemp &operator=(const EnvTemp &) = delete;

  private:
    std::string nom;
    std::string avant;
    bool existait;
};

#endif
