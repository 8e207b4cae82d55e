// icongen: writes the exe's application icon, drawn by the program's own picture code. Built for
// the build machine and run at build time, so no icon file is kept in the sources.
//
//   icongen <output.ico>
#include <cstdio>
#include <vector>

#include "shell/IconArtIco.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen <output.ico>\n");
    return 2;
  }
  std::vector<telvaro::IconImage> images;
  for (int size : telvaro::kApplicationIconSizes) {
    images.push_back(telvaro::DrawIcon(telvaro::IconArt::Application, size));
  }
  const std::vector<std::uint8_t> file = telvaro::IcoFile(images);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written ? 0 : 1;
}
