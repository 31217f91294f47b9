// Changes a question bank on the command line's request, for the tests that kill it midway
// or race it:
//   bulk FILE N TAG   one transaction of N inserts whose nianji (first column) is TAG
//   updates FILE      single durable updates of the "base" rows, round after round, forever
//   insert FILE TAG   one durable insert; "done" once it returned
//   hold FILE MS TAG  one insert in a transaction kept open for MS milliseconds
// "go" on standard output says the file is open and changes begin.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "jet/database.h"
#include "write_child.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    try {
        auto db = jet::Database::open(argv[2], jet::PageFile::Mode::ReadWrite);
        if (mode == "bulk" && argc == 5) {
            std::cout << "go" << std::endl;
            const int n = std::stoi(argv[3]);
            db->beginTransaction();
            for (int i = 0; i < n; ++i) db->insertRow("tiku", jet_write_test::bulkRow(argv[4], i));
            db->commitTransaction();
            return 0;
        }
        if (mode == "insert" && argc == 4) {
            std::cout << "go" << std::endl;
            db->insertRow("tiku", jet_write_test::bulkRow(argv[3], 0));
            std::cout << "done" << std::endl;
            return 0;
        }
        if (mode == "hold" && argc == 5) {
            db->beginTransaction();
            db->insertRow("tiku", jet_write_test::bulkRow(argv[4], 0));
            std::cout << "go" << std::endl;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argv[3])));
            db->commitTransaction();
            return 0;
        }
        if (mode == "updates") {
            std::vector<jet::RowId> ids(jet_write_test::kBaseRows);
            auto s = db->scan("tiku");
            while (s.next())
                if (std::get<std::string>(s.values()[0]) == "base")
                    ids[std::stoul(std::get<std::string>(s.values()[1]))] = s.rowId();
            // Only now: the finding of the rows grows with the table, and a kill during it
            // would test nothing.
            std::cout << "go" << std::endl;
            for (long n = 0;; ++n) {
                const int r = static_cast<int>(n % jet_write_test::kBaseRows);
                db->updateRow("tiku", ids[r], jet_write_test::updatedRow(r, n));
            }
        }
        return 2;
    } catch (const jet::Error& e) {
        std::cout << e.what() << std::endl;
        return 3;
    }
}
