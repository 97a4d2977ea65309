// A first look at a document's bytes, before the office suite is started.
//
// The six formats the plug-in accepts come in two containers: the 97-2003
// binary formats in an OLE2 compound file, the 2007 XML formats in a ZIP
// package. Anything else is refused here, because the suite would happily
// import it as plain text and show the bytes. Which of the formats it is,
// is left to the suite's own detection (by content, not by file name).
#pragma once

#include <string>

enum eDocumentContainer {
    eContainerUnreadable,  // cannot be opened or read (errno set)
    eContainerEmpty,       // zero bytes
    eContainerCompound,    // OLE2 compound file: doc, xls, ppt
    eContainerZip,         // ZIP package: docx, xlsx, pptx
    eContainerUnknown,     // none of the above
};

// Only regular files are read (a FIFO or device gives eContainerUnreadable
// with errno EINVAL).
eDocumentContainer detectContainer(const std::string& path);

const char* containerName(eDocumentContainer container);
