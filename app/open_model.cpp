// Extension table of the model readers and the open-model command's model part.
#include "app/open_model.h"

#include <cstring>
#include <string>

#include "model/model_ply.h"
#include "model/model_stl.h"
#include "model/model_terragen.h"

const char kModelOpenFailedMessage[] = "\xB1\xA7\xC7\xB8\xA3\xAC\xB4\xF2\xBF\xAA\xC4\xA3\xD0\xCD\xCE\xC4\xBC\xFE\xB3\xF6\xB4\xED\xA3\xA1^_^";

namespace {

struct sReaderEntry {
  const char* extension;
  std::unique_ptr<model::cModel> (*create)();
};

template <class Reader>
std::unique_ptr<model::cModel> Make() {
  return std::make_unique<Reader>();
}

// The only place that knows every model reader.
const sReaderEntry kReaders[] = {
    {"ply", &Make<model::cModelPLY>},
    {"stl", &Make<model::cModelSTL>},
    {"ter", &Make<model::cTerragen>},
};

std::string LowerExtension(const char* fileName) {
  if (!fileName) return std::string();
  const char* dot = std::strrchr(fileName, '.');
  const char* slash = std::strrchr(fileName, '\\');
  if (!dot || (slash && slash > dot)) return std::string();
  std::string extension(dot + 1);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return extension;
}

}  // namespace

std::unique_ptr<model::cModel> CreateModelReader(const char* fileName) {
  std::string extension = LowerExtension(fileName);
  for (const sReaderEntry& entry : kReaders)
    if (extension == entry.extension) return entry.create();
  return nullptr;
}

bool HasModelReader(const char* fileName) {
  std::string extension = LowerExtension(fileName);
  for (const sReaderEntry& entry : kReaders)
    if (extension == entry.extension) return true;
  return false;
}

bool OpenModelFile(const char* fileName) {
  CloseCurrentModel();
  std::unique_ptr<model::cModel> reader = CreateModelReader(fileName);
  if (!reader) return false;
  CurrentModel = reader.release();
  if (OpenCurrentModel(fileName)) return true;
  CloseCurrentModel();
  return false;
}

void CloseCurrentModel() {
  delete CurrentModel;
  CurrentModel = nullptr;
}
