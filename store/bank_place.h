// Where the program's own files lie and where its question bank lives. A folder that holds the
// program's files and can be written (the build folder, a copied "portable" folder) keeps the
// bank beside the program. An installed program (its folder without the files, or not
// writable) reads its files from the installed share folder and keeps the bank, made on the
// first start, in $XDG_DATA_HOME/mozhou (by default ~/.local/share/mozhou).
#pragma once

#include <filesystem>

namespace bank {

struct Places {
    std::filesystem::path files;  // help.txt, icons, pictures, daochu.mdb, sample_bank.jsonl
    std::filesystem::path bank;   // shujuku.mdb; its backups lie beside it
    bool portable = false;        // the bank lies beside the program
};

// The one decision, for the program in `programDir`, read from the file system and the
// environment (XDG_DATA_HOME, HOME) as they are now.
Places places(const std::filesystem::path& programDir);

// The folder of the running executable.
std::filesystem::path executableFolder();

}  // namespace bank
