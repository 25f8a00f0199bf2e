#pragma once
// The model side of the shell's open-model command: the one table that maps a file extension to
// its reader, and opening and closing CurrentModel (model/model_open.h) through it.

#include <memory>

#include "model/model_open.h"

// Text shown when a model file fails to open.
extern const char kModelOpenFailedMessage[];

// A new reader for the file name's extension (compared without regard to case); null when no
// reader takes it.
std::unique_ptr<model::cModel> CreateModelReader(const char* fileName);
// True when a reader exists for the file name's extension.
bool HasModelReader(const char* fileName);
// Makes the reader, stores it in CurrentModel and runs OpenCurrentModel. On failure the reader is
// deleted, CurrentModel is null and the result is false (the caller shows
// kModelOpenFailedMessage).
bool OpenModelFile(const char* fileName);
// Deletes CurrentModel (null afterwards).
void CloseCurrentModel();
