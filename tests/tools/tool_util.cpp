#include "tool_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include "jet/json.h"
#include "oracle_util.h"

namespace fs = std::filesystem;

namespace tool_test {

fs::path scratchDir(const std::string& name) {
    fs::path dir = jet_test::processScratch("mozhou_tools") / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Run mozhouDb(const std::vector<std::string>& args, const std::string& input) {
    const fs::path dir = scratchDir("run");
    jet_test::writeBytes(dir / "in", input);
    std::string command = jet_test::shellQuote(MOZHOU_DB);
    for (const auto& a : args) command += " " + jet_test::shellQuote(a);
    command += " < " + jet_test::shellQuote((dir / "in").string()) + " > " +
               jet_test::shellQuote((dir / "out").string()) + " 2> " +
               jet_test::shellQuote((dir / "err").string());
    const int st = std::system(command.c_str());
    Run r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.out = jet_test::fileBytes(dir / "out");
    r.err = jet_test::fileBytes(dir / "err");
    fs::remove_all(dir);
    return r;
}

std::vector<std::string> respelled(const std::vector<std::string>& lines,
                                   const std::vector<jet::ColumnType>& types, bool asSingles) {
    std::vector<std::string> out;
    for (const auto& l : lines) {
        auto values = jet::fromJson(l, types);
        std::string s = "[";
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (auto* d = std::get_if<double>(&values[i]);
                d && asSingles && types[i] == jet::ColumnType::Single)
                *d = static_cast<float>(*d);
            if (i) s += ',';
            jet::appendJson(s, values[i], types[i]);
        }
        out.push_back(s + "]");
    }
    return out;
}

bool haveOracles() { return jet_test::haveProgram("mdb-export") && jet_test::haveMdbReader(); }

}  // namespace tool_test
