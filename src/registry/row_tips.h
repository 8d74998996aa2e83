// What the tool tip of a Hijack or Browser row says of the registry entry
// behind it: read when the tip is about to show, never during a scan.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "registry/registry_access.h"

namespace wd::registry {

inline constexpr char kNoValuesTip[] = "（无值）";
inline constexpr char kDefaultValueTip[] = "（默认）";
inline constexpr char kFileMissingTip[] = "（文件不存在）";
inline constexpr std::size_t kMaxTipValueLines = 12;
// The subkeys of an entry whose values its tip reads.
inline constexpr std::size_t kMaxTipSubkeys = 1024;
// The values that decide what runs when the program named by the key starts.
inline constexpr const char* kStartValueNames[] = {"Debugger", "GlobalFlag", "VerifierDlls"};
// A tip line is cut here (the data of one value can be kilobytes).
inline constexpr std::size_t kMaxTipLineBytes = 300;

// A value as a tip shows it: of the key itself (empty `subkey`), or of one of
// its subkeys, shown as "<subkey>\<name>".
struct TipValue {
    std::string subkey;
    ValueEntry value;
};

// The values of a key and of its subkeys, one line each, "名称 = 数据". The
// values that change how a program starts (Debugger, GlobalFlag,
// VerifierDlls) come first, the key's own before its subkeys', then the
// others, again the key's own first; at most kMaxTipValueLines lines, then
// "…（共 N 个值）"; "（无值）" for none. `total` is the number of values in
// all; `values` may hold fewer.
std::string ValuesToolTip(const std::vector<TipValue>& values, std::size_t total, platform::Text& text);

// Whether a value decides what runs when the program named by its key starts
// (Debugger, GlobalFlag, VerifierDlls, in the registry's letter case rule).
bool IsStartValue(std::string_view name, platform::Text& text);

// An add-on's tip: its CLSID, then the file it loads ("" when none is
// registered), marked when the file is not there.
std::string AddOnToolTip(std::string_view clsid, std::string_view file, bool fileMissing);

// The file a registered command or server names: the text in quotes when it
// starts with one, else all of it.
std::string FileOfCommand(std::string_view command);

// One line of tip text: line breaks and NULs cannot stand in it, and it is
// cut (whole characters) to kMaxTipLineBytes.
std::string TipLine(std::string_view text);

}  // namespace wd::registry
