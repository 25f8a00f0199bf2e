#pragma once
// Opening a model: the globals the application shares with the model library and the open
// sequence that turns a freshly made reader into a drawable model.

#include "model/model.h"

// The open model, null when none is open (owned by the application's open-model command).
extern model::cModel* CurrentModel;
// The single render context, made at start-up; OpenCurrentModel fails while it is null.
extern model::sRenderContext* ModelRenderContext;

// Clears CurrentModel, gives it the context and the file name, attaches its renderer, loads it
// and runs the post-processing. False (model cleared) when anything fails.
bool OpenCurrentModel(const char* fileName);
// The same sequence from bytes already in memory (fileName still names the model for the
// texture search).
bool OpenCurrentModelFromMemory(const char* fileName, const uint8_t* data, size_t size);
// Replaces CurrentModel's default texture; true when the new texture loaded.
bool SetCurrentModelDefaultTexture(const char* fileName);
// Sphere around CurrentModel's box; false when no model is loaded. A model without vertices (or
// with non-finite coordinates) gets centre (0, 0, 0) and radius 1, so the camera stays finite.
bool GetCurrentModelBoundingSphere(float centre[3], float* radius);
