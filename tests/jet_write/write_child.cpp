// Changes a question bank on the command line's request, for the tests that kill it midway
// or race it:
//   bulk FILE TABLE N TAG   one transaction of N inserts whose first column is TAG
//   updates FILE TABLE      single durable updates of the "base" rows, round after round, forever
//   tryopen FILE            opens for writing; exit 3 and the message when refused
// Rows are the question rows of write_child.h, cut to the table's width.
// "go" on standard output says the file is open and changes begin.
#include <cstdio>
#include <iostream>
#include <string>

#include "jet/database.h"
#include "write_child.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    try {
        auto db = jet::Database::open(argv[2], jet::PageFile::Mode::ReadWrite);
        if (mode == "tryopen") return 0;
        if (argc < 4) return 2;
        const std::string table = argv[3];
        const std::size_t width = db->table(table)->columns.size();
        using jet_write_test::fitted;
        if (mode == "bulk" && argc == 6) {
            std::cout << "go" << std::endl;
            const int n = std::stoi(argv[4]);
            db->beginTransaction();
            for (int i = 0; i < n; ++i)
                db->insertRow(table, fitted(jet_write_test::bulkRow(argv[5], i), width));
            db->commitTransaction();
            return 0;
        }
        if (mode == "updates") {
            std::vector<jet::RowId> ids(jet_write_test::kBaseRows);
            auto s = db->scan(table);
            while (s.next())
                if (std::get<std::string>(s.values()[0]) == "base")
                    ids[std::stoul(std::get<std::string>(s.values()[1]))] = s.rowId();
            // Only now: the finding of the rows grows with the table, and a kill during it
            // would test nothing.
            std::cout << "go" << std::endl;
            for (long n = 0;; ++n) {
                const int r = static_cast<int>(n % jet_write_test::kBaseRows);
                db->updateRow(table, ids[r], fitted(jet_write_test::updatedRow(r, n), width));
            }
        }
        return 2;
    } catch (const jet::Error& e) {
        std::cout << e.what() << std::endl;
        return 3;
    }
}
