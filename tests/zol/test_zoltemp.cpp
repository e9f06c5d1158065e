// SPDX-License-Identifier: GPL-3.0-or-later
// The temporary copy of mem_file is private: created exclusively with mode
// 0600 whatever the umask, and handed back as a read-only stream on that
// very file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "reptemp.h"
#include "zolfichier.h"

namespace
{

TEST(Temporaire, PrivateCopyReadBackThroughItsOwnDescriptor)
{
    RepTemp rep;
    EnvTemp zol("ZOL", rep.chemin().c_str());
    ASSERT_EQ(mkdir((rep / "tmp").c_str(), 0777), 0);
    const mode_t avant = umask(0);
    const std::string bloc("secret\n", 7);
    FILE *f = mem_file(bloc.data(), bloc.size(), "r");
    umask(avant);
    ASSERT_NE(f, nullptr);

    DIR *d = opendir((rep / "tmp").c_str());
    ASSERT_NE(d, nullptr);
    std::string nom;
    while (struct dirent *e = readdir(d))
        if (e->d_name[0] != '.')
            nom = e->d_name;
    closedir(d);
    struct stat st;
    ASSERT_EQ(stat((rep / "tmp/" + nom).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // The stream is the file's: same inode, read-only, at its start.
    struct stat sf;
    ASSERT_EQ(fstat(fileno(f), &sf), 0);
    EXPECT_EQ(sf.st_ino, st.st_ino);
    EXPECT_EQ(fputc('x', f), EOF);
    clearerr(f);
    char lu[16] = {0};
    EXPECT_EQ(fread(lu, 1, sizeof lu, f), bloc.size());
    EXPECT_EQ(std::string(lu, bloc.size()), bloc);
    fclose(f);
}

} // namespace
