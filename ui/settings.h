// What the window remembers between runs: save folders, each page's options, the last folder of
// the file dialogs, the window's place. Kept as "key=value" lines of UTF-8 in travik.ini: beside
// the program when a travik.ini is there (a portable copy), else in %APPDATA%\Travik.
#ifndef TRAVIK_UI_SETTINGS_H_
#define TRAVIK_UI_SETTINGS_H_

#include <map>
#include <string>
#include <string_view>

namespace travik::ui {

class MainWindow;

class Settings {
 public:
  // The settings in the file at `path` (UTF-8 with or without a byte-order mark, or UTF-16 LE
  // with one). A missing, unreadable or broken file, or a broken line, gives no values for what
  // it would have held: the window then keeps its defaults.
  static Settings Load(std::string_view path);
  // Writes every value to `path` as UTF-8, making its folder when missing; false on failure. The
  // file is replaced only by a complete new one.
  bool Save(std::string_view path) const;

  // The value of `key`, or `fallback` when it has none.
  std::string Get(std::string_view key, std::string_view fallback = {}) const;
  bool Has(std::string_view key) const { return values_.count(std::string(key)) != 0; }
  void Set(std::string_view key, std::string_view value);

 private:
  std::map<std::string, std::string> values_;
};

// Where the program's settings are: the travik.ini beside the program when one is there, else
// %APPDATA%\Travik\travik.ini (empty when neither can be known).
std::string SettingsPath();

// The window's remembered state into its controls, and back (save folders, options, typed texts,
// recent keywords, dialog folders, the window's place and size).
void ApplySettings(MainWindow& window, const Settings& settings);
Settings CollectSettings(MainWindow& window);

}  // namespace travik::ui

#endif  // TRAVIK_UI_SETTINGS_H_
