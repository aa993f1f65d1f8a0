// The checks a database passes before it is written (see write_fitness.h).
#include "jet/check/write_fitness.h"

#include <iconv.h>
#include <unistd.h>

#include <filesystem>

#include "jet/open_database.h"
#include "jet/error.h"
#include "jet/index/key_encoder.h"

namespace jet {

std::vector<std::string> fileWritingDefects(const std::string& path) {
  std::vector<std::string> out;
  if (::access(path.c_str(), W_OK) != 0) out.push_back(path + ": the file cannot be written (it is read-only to this user)");
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK) != 0) {
    out.push_back(folder + ": the folder cannot be written, so no journal can guard the writes");
  }
  return out;
}

std::vector<std::string> formatWritingDefects(const DatabaseImpl& db) {
  if (db.header.format == Format::Jet4) return {};
  // Access 97 text is stored in the database's code page: the system must know it.
  const uint16_t codePage = db.header.codePage == 0 ? 1252 : db.header.codePage;
  if (codePage == 1252) return {};
  iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return {db.path + ": an Access 97 file in code page " + std::to_string(codePage) +
            ", which this system cannot convert, so its text cannot be written"};
  }
  iconv_close(cd);
  return {};
}

std::vector<std::string> sortOrderDefects(DatabaseImpl& db, const std::vector<std::string>& tables) {
  std::vector<std::string> out;
  for (const std::string& name : tables) {
    const CatalogEntry* entry = db.findTable(name);
    if (!entry) continue;
    const TableInfo* info = nullptr;
    try {
      info = &db.table(*entry).info;
    } catch (const Error&) {
      continue;  // an unreadable definition is the structure check's to report
    }
    for (const Index& index : info->def.indexes) {
      try {
        KeyEncoder encoder(info->def, index, db.header.format);
        if (!encoder.writable()) out.push_back(encoder.unsupportedReason());
      } catch (const Error& e) {
        out.push_back("table " + info->def.name + ": index " + index.name + ": " + e.what());
      }
    }
  }
  return out;
}

StructureReport checkFitForWriting(DatabaseImpl& db, const std::vector<std::string>& tables, bool wholeFile) {
  std::vector<std::string> first = fileWritingDefects(db.path);
  for (auto& d : formatWritingDefects(db)) first.push_back(d);
  StructureReport report = wholeFile ? checkStructure(db) : checkTables(db, tables);
  for (auto& d : sortOrderDefects(db, tables)) report.defects.push_back(d);
  report.defects.insert(report.defects.begin(), first.begin(), first.end());
  return report;
}

}  // namespace jet
