// The MIME description the library announces, and the list of enabled file
// extensions that stream acceptance checks. Both are built once per process,
// by the first PluginGetMimeTypeDescription(), from the configured list;
// until then the list is empty and every stream is refused. Plug-in thread.
#pragma once

#include "platform/qv_string.h"
#include "platform/qv_vector.h"

// The enabled extensions, unrecognised entries of the configuration
// included; empty until the description has been built.
const TQVVector<CQVString>& enabledExtensions();

// Builds the description from a comma-separated extension list (null acts as
// empty) into description, and appends the list's entries to enabled. A pure
// function of list; any thread.
void buildMimeDescription(const char* list, CQVString& description, TQVVector<CQVString>& enabled);
