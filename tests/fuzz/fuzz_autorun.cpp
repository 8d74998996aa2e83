// Feeds arbitrary bytes to the autorun reader and runs a whole quarantine
// over them: no crash, no hang, every name is a tail of its line, the reader
// fed in pieces gives the names of the whole text, a run in slices ends as a
// run at once does, nothing outside the watched drive is touched (also
// through links on it, or by 8.3 aliases) and nothing already in the
// Quarantine folder is moved.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "drive/quarantine.h"
#include "support/drive_reference.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"

namespace {

const std::string kFolder = std::string("G:\\") + wd::drive::kQuarantineFolder;

void seed(wd::test::MemoryFiles& files, const std::string& autorun) {
    files.addDrive("G:");
    files.addDrive("D:");
    files.addFile("C:\\boot.ini", "boot");
    files.addFile("C:\\Windows\\system.dll", "sys");
    files.addFile("D:\\data.txt", "data");
    files.addFolder("G:\\sub");
    files.addFile("G:\\sub\\virus.exe", "v");
    files.addFile("G:\\virus.exe", "v");
    files.addFolder("G:\\RECYCLER");
    files.addFolder("G:\\RECYCLER\\S-1-5");
    files.addFile("G:\\RECYCLER\\S-1-5\\x.exe", "x").hidden = true;
    files.addLink("G:\\j", "C:\\Windows");
    files.addLink("G:\\sub\\k", "D:\\");
    files.addLink("G:\\f.exe", "C:\\boot.ini", false);
    files.addFile("G:\\longpayloadname.exe", "l").alias = "LONG~1DO.EXE";
    files.addFolder("G:\\longfoldername").alias = "LONG~NYX";
    files.addFile("G:\\longfoldername\\inner.exe", "i");
    files.addLink("G:\\junction-to-c", "C:\\Windows").alias = "JUNCT~1";
    files.addFile("G:\\dotty.exe", "d");
    files.addFolder(kFolder).alias = "VIP~1";
    files.addFile(kFolder + "\\inside.txt", "in");
    files.addFolder(kFolder + "\\keep");
    files.addFile(kFolder + "\\keep\\deep.txt", "deep");
    files.addLink(kFolder + "\\lnk", "C:\\Windows");
    files.addFile("G:\\autorun.inf", autorun);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    wd::test::MemoryText text;
    std::vector<std::string> expected;
    for (const std::string& line : wd::test::autorunLines(text, bytes)) {
        if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        const auto name = wd::test::nameOnLine(line);
        if (!name) continue;
        if (name->size() >= line.size() || line.compare(line.size() - name->size(), name->size(), *name) != 0)
            __builtin_trap();
        if (const auto parts = wd::drive::drivePartsOf(*name)) {
            for (const std::string& part : *parts)
                if (part.empty() || part == "." || part == ".." || part.find_first_of("\\/:") != std::string::npos)
                    __builtin_trap();
        }
        expected.push_back(*name);
    }
    // The same names from the reader, in pieces of a size the input picks.
    const std::size_t piece = size ? 1 + data[0] % 7 : 1;
    wd::drive::AutorunReader reader;
    std::vector<std::string> names;
    for (std::size_t at = 0; at < bytes.size(); at += piece) reader.feed(text, bytes.substr(at, piece), names);
    reader.finish(text, names);
    if (names != expected) __builtin_trap();

    wd::test::MemoryFiles whole, sliced;
    seed(whole, bytes);
    seed(sliced, bytes);
    const auto c = whole.listing("C:"), d = whole.listing("D:");
    wd::test::QuarantineDrive(whole, text, "G:");
    for (const std::string& op : whole.log)
        if (op.find("G:") == std::string::npos || op.find("C:") != std::string::npos ||
            op.find("D:") != std::string::npos)
            __builtin_trap();
    if (whole.listing("C:") != c || whole.listing("D:") != d) __builtin_trap();
    if (!whole.find("C:\\boot.ini") || whole.find("C:\\boot.ini")->data != "boot") __builtin_trap();
    const auto* inside = whole.find(kFolder + "\\inside.txt");
    const auto* deep = whole.find(kFolder + "\\keep\\deep.txt");
    if (!inside || inside->data != "in" || !deep || deep->data != "deep" || !whole.find(kFolder + "\\lnk"))
        __builtin_trap();

    wd::drive::SliceLimits small;
    small.names = 1 + piece % 3;
    small.bytes = piece;
    wd::drive::Quarantine q;
    for (int tick = 0; tick < 100000; ++tick) {
        q.tick(sliced, text, "G:", small);
        if (!q.running()) break;
    }
    if (q.running() || sliced.listing("G:") != whole.listing("G:")) __builtin_trap();
    return 0;
}
