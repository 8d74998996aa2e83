// Feeds arbitrary bytes to the autorun reader and runs a whole quarantine
// over them: no crash, no hang, every name is a tail of its line, and nothing
// outside the watched drive is touched.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drive/quarantine.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    wd::test::MemoryText text;
    for (const std::string& line : wd::drive::autorunLines(text, bytes)) {
        if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        const auto name = wd::drive::nameOnLine(line);
        if (!name) continue;
        if (name->size() >= line.size() || line.compare(line.size() - name->size(), name->size(), *name) != 0)
            __builtin_trap();
        (void)wd::drive::nameStaysOnDrive(*name);
    }

    wd::test::MemoryFiles files;
    files.addDrive("G:");
    files.addDrive("D:");
    files.addFile("C:\\boot.ini", "boot");
    files.addFile("C:\\Windows\\system.dll", "sys");
    files.addFile("D:\\data.txt", "data");
    files.addFolder("G:\\sub");
    files.addFile("G:\\sub\\virus.exe", "v");
    files.addFile("G:\\virus.exe", "v");
    files.addFile("G:\\autorun.inf", bytes);
    const auto c = files.listing("C:"), d = files.listing("D:");
    wd::drive::QuarantineDrive(files, text, "G:");
    for (const std::string& op : files.log)
        if (op.find("G:") == std::string::npos) __builtin_trap();
    if (files.listing("C:") != c || files.listing("D:") != d) __builtin_trap();
    return 0;
}
