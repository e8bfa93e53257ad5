// Prints the text of the message box with the given caption, as another program on the desktop reads it.
//
// usage: box_text.exe CAPTION
// Exits 1 when no such box shows within 30 s.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK Collect(HWND child, LPARAM found) {
  char cls[32] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") != 0) return TRUE;
  wchar_t text[4096] = {};
  GetWindowTextW(child, text, 4096);
  // The box's icon is a static control too, without text.
  if (text[0]) *reinterpret_cast<std::wstring*>(found) = text;
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (int i = 0; i < 300; ++i) {
    if (HWND box = FindWindowA("#32770", argv[1])) {
      std::wstring text;
      EnumChildWindows(box, Collect, reinterpret_cast<LPARAM>(&text));
      const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
      std::string utf8(static_cast<size_t>(n > 0 ? n : 1), '\0');
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), n, nullptr, nullptr);
      std::printf("%s\n", utf8.c_str());
      return 0;
    }
    Sleep(100);
  }
  return 1;
}
