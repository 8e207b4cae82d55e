// What ships: programs that need no runtime DLL but the handset library, and a handset library
// with exactly the seven exports a vendor's library of the same name provides.
#include <gmock/gmock.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "E2e.h"

namespace telvaro::e2e {
namespace {

// A PE file read from disk, enough to list its imported DLLs and exported names.
class PeFile {
 public:
  explicit PeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    auto dos = At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return;
    nt_ = At<IMAGE_NT_HEADERS>(static_cast<std::size_t>(dos->e_lfanew));
    if (nt_ && nt_->Signature != IMAGE_NT_SIGNATURE) nt_.reset();
    if (nt_)
      sectionsAt_ = static_cast<std::size_t>(dos->e_lfanew) +
                    offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                    nt_->FileHeader.SizeOfOptionalHeader;
  }

  bool Valid() const { return nt_.has_value(); }

  std::vector<std::string> ImportedDlls() const {
    std::vector<std::string> names;
    auto offset = DirectoryOffset(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (; offset; *offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
      auto descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(*offset);
      if (!descriptor || descriptor->Name == 0) break;
      names.push_back(StringAt(descriptor->Name));
    }
    return names;
  }

  std::vector<std::string> ExportedNames() const {
    std::vector<std::string> names;
    auto offset = DirectoryOffset(IMAGE_DIRECTORY_ENTRY_EXPORT);
    auto directory = offset ? At<IMAGE_EXPORT_DIRECTORY>(*offset) : std::nullopt;
    if (!directory) return names;
    auto table = FileOffset(directory->AddressOfNames);
    for (DWORD i = 0; table && i < directory->NumberOfNames; ++i) {
      auto rva = At<DWORD>(*table + i * sizeof(DWORD));
      if (rva) names.push_back(StringAt(*rva));
    }
    return names;
  }

 private:
  template <typename T>
  std::optional<T> At(std::size_t offset) const {
    if (offset + sizeof(T) > bytes_.size()) return std::nullopt;
    T value;
    std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    return value;
  }

  std::optional<std::size_t> FileOffset(DWORD rva) const {
    for (WORD i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
      auto section = At<IMAGE_SECTION_HEADER>(sectionsAt_ + i * sizeof(IMAGE_SECTION_HEADER));
      if (!section) break;
      DWORD size = std::max(section->Misc.VirtualSize, section->SizeOfRawData);
      if (rva >= section->VirtualAddress && rva < section->VirtualAddress + size) {
        return rva - section->VirtualAddress + section->PointerToRawData;
      }
    }
    return std::nullopt;
  }

  std::optional<std::size_t> DirectoryOffset(int entry) const {
    DWORD rva = nt_->OptionalHeader.DataDirectory[entry].VirtualAddress;
    return rva == 0 ? std::nullopt : FileOffset(rva);
  }

  std::string StringAt(DWORD rva) const {
    auto offset = FileOffset(rva);
    if (!offset || *offset >= bytes_.size()) return {};
    const char* start = bytes_.data() + *offset;
    return std::string(start, strnlen(start, bytes_.size() - *offset));
  }

  std::vector<char> bytes_;
  std::optional<IMAGE_NT_HEADERS> nt_;
  std::size_t sectionsAt_ = 0;
};

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Packaging, HandsetLibraryExportsExactlyTheSevenFunctions) {
  PeFile library(BinPath(kHandsetDll));
  ASSERT_TRUE(library.Valid());
  EXPECT_THAT(library.ExportedNames(),
              ::testing::UnorderedElementsAre("StartDeviceDetection", "HandleUsbDeviceChange",
                                              "StartKeyScan", "StopKeyScan", "CloseDevice",
                                              "StartBuzzer", "StopBuzzer"));
}

// The mingw runtime DLLs (libstdc++, libgcc, libwinpthread) are not shipped; a program that
// imports one would not start on a user's PC.
TEST(Packaging, ProgramsNeedNoRuntimeDll) {
  for (const char* name :
       {kTelvaroExe, kHandsetDll, kHandsetCtlExe, kHandsetHostExe, kFakeAppExe, kFakeSkypeExe}) {
    std::string path = BinPath(name);
    if (!Exists(path)) continue;  // not built in this tree
    PeFile program(path);
    ASSERT_TRUE(program.Valid()) << name;
    for (const std::string& dll : program.ImportedDlls()) {
      std::string lower = dll;
      std::transform(lower.begin(), lower.end(), lower.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      EXPECT_FALSE(lower.starts_with("lib")) << name << " imports " << dll;
    }
  }
}

}  // namespace
}  // namespace telvaro::e2e
