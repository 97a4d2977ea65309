// The factory the library's instance dispatch calls, and the class texts.
#include <new>

#include "log/logger.h"
#include "office_viewer/ravuda_rovude_zazizu.h"
#include "plugin_base/plugin_module.h"

const char* const CRavudaRovudeZazizu::sPluginName = "RavudaRovudeZazizu";
const char* const CRavudaRovudeZazizu::MIME_TYPE_DOC =
    "application/doc:doc:Microsoft Office Word 97-2003 Document;"
    "application/msword:doc:Microsoft Office Word 97-2003 Document;"
    "application/vnd.ms-word:doc:Microsoft Office Word 97-2003 Document";
const char* const CRavudaRovudeZazizu::MIME_TYPE_DOCX =
    "application/docx:docx:Microsoft Office Word 2007 Document;"
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document:docx:Microsoft Office Word 2007 "
    "Document";
const char* const CRavudaRovudeZazizu::MIME_TYPE_XLS =
    "application/xls:xls:Microsoft Office Excel 97-2003 Worksheet;"
    "application/msexcel:xls:Microsoft Office Excel 97-2003 Worksheet;"
    "application/vnd.ms-excel:xls:Microsoft Office Excel 97-2003 Worksheet";
const char* const CRavudaRovudeZazizu::MIME_TYPE_XLSX =
    "application/xlsx:xlsx:Microsoft Office Excel 2007 Worksheet;"
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet:xlsx:Microsoft Office Excel 2007 Worksheet";
const char* const CRavudaRovudeZazizu::MIME_TYPE_PPT =
    "application/ppt:ppt:Microsoft Office PowerPoint 97-2003 Presentation;"
    "application/mspowerpoint:ppt:Microsoft Office PowerPoint 97-2003 Presentation;"
    "application/vnd.ms-powerpoint:ppt:Microsoft Office PowerPoint 97-2003 Presentation";
const char* const CRavudaRovudeZazizu::MIME_TYPE_PPTX =
    "application/pptx:pptx:Microsoft Office PowerPoint 2007 Presentation;"
    "application/vnd.openxmlformats-officedocument.presentationml.presentation:pptx:Microsoft Office PowerPoint "
    "2007 Presentation";
const char* const CRavudaRovudeZazizu::MIME_TYPE_STREAM = "application/octet-stream:%s:Microsoft Office Document";
const char* const CRavudaRovudeZazizu::MIME_TYPE_TEXT_PLAIN = "text/plain:%s:Microsoft Office Document";

_CQVPluginBase* NS_NewPluginInstance(nsPluginCreateData* /*data*/) {
    QV_LOG(LogMessage::MESSAGE, "Creating RavudaRovudeZazizu instance");
    return new (std::nothrow) CRavudaRovudeZazizu();
}

_CQVPluginBase* NS_NewPluginInstance() {
    QV_LOG(LogMessage::MESSAGE, "Creating RavudaRovudeZazizu instance");
    return new (std::nothrow) CRavudaRovudeZazizu();
}
