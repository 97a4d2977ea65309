#include "office_viewer/mime_description.h"

#include "log/logger.h"
#include "office_viewer/ravuda_rovude_zazizu.h"
#include "params/office_plugin_params.h"
#include "plugin_base/plugin_module.h"
#include "platform/qv_string_utilities.h"

namespace {
bool gDescriptionBuilt = false;
CQVString gDescription;
TQVVector<CQVString> gEnabledExtensions;

struct KnownExtension {
    const char* extension;
    const char* const* fragment;
};

const KnownExtension kKnownExtensions[] = {
    {"doc", &CRavudaRovudeZazizu::MIME_TYPE_DOC},   {"docx", &CRavudaRovudeZazizu::MIME_TYPE_DOCX},
    {"xls", &CRavudaRovudeZazizu::MIME_TYPE_XLS},   {"xlsx", &CRavudaRovudeZazizu::MIME_TYPE_XLSX},
    {"ppt", &CRavudaRovudeZazizu::MIME_TYPE_PPT},   {"pptx", &CRavudaRovudeZazizu::MIME_TYPE_PPTX},
};

void buildDescription() {
    buildMimeDescription(COfficePluginParams::getInstance()->getValue(COfficePluginParams::MIME_TYPES),
                         gDescription, gEnabledExtensions);
    gDescriptionBuilt = true;
}
}  // namespace

void buildMimeDescription(const char* list, CQVString& result, TQVVector<CQVString>& enabled) {
    QVStringUtilities::split(enabled, list, ",", false);
    CQVString description;
    CQVString extensions;
    const int count = enabled.size();
    for (int i = 0; i < count; ++i) {
        const CQVString& entry = enabled.get(i);
        bool known = false;
        for (const KnownExtension& candidate : kKnownExtensions) {
            if (entry == candidate.extension) {
                description += *candidate.fragment;
                extensions += candidate.extension;
                known = true;
                break;
            }
        }
        if (!known) QV_LOG(LogMessage::ERROR, "Incorrect mime type passed through env %s", entry.c_str());
        if (i == count - 1) {
            description += ";";
        } else {
            extensions += ",";
            description += ";";
        }
    }
    CQVString stream;
    if (!stream.format(CRavudaRovudeZazizu::MIME_TYPE_STREAM, extensions.c_str())) {
        QV_LOG(LogMessage::ERROR, "Extension is too long");
    }
    CQVString text;
    if (!text.format(CRavudaRovudeZazizu::MIME_TYPE_TEXT_PLAIN, extensions.c_str())) {
        QV_LOG(LogMessage::ERROR, "Extension is too long");
    }
    description += stream;
    description += ";";
    description += text;
    result = description;
}

const TQVVector<CQVString>& enabledExtensions() { return gEnabledExtensions; }

const char* PluginGetName() { return CRavudaRovudeZazizu::sPluginName; }

const char* PluginGetDescription() { return CRavudaRovudeZazizu::sPluginName; }

const char* PluginGetMimeTypeDescription() {
    QV_LOG_ENTRY();
    if (!gDescriptionBuilt) buildDescription();
    return gDescription.c_str();
}
