# Runs inside the office suite, started by DerazoZoraveMain with the suite's
# macro URL on its command line. Loads one document without running its
# macros or updating its links, exports it as HTML by the type the suite
# detected from its content, writes one status line and ends the suite.
#
# Input, from the environment the converter builds:
#   RRZ_SOURCE  path of the document
#   RRZ_TARGET  path of the HTML entry page to write (images go beside it)
#   RRZ_RESULT  path of the status file, written once at the end (through
#               a temporary file and rename):
#               "ok <kind>" or "error <reason>"
import os

import uno
from com.sun.star.beans import PropertyValue

# document service -> (kind, export filter, HTML slides wanted)
EXPORTS = (
    ("com.sun.star.presentation.PresentationDocument", "presentation", "impress_html_Export", True),
    ("com.sun.star.drawing.DrawingDocument", "drawing", "draw_html_Export", True),
    ("com.sun.star.sheet.SpreadsheetDocument", "spreadsheet", "HTML (StarCalc)", False),
    ("com.sun.star.text.WebDocument", "web page", "HTML", False),
    ("com.sun.star.text.TextDocument", "text", "HTML (StarWriter)", False),
)

TEXT_IMPORT_FILTERS = ("Text", "Text (encoded)", "Text - txt - csv (StarCalc)", "")


def _props(**values):
    result = []
    for name, value in values.items():
        prop = PropertyValue()
        prop.Name = name
        prop.Value = value
        result.append(prop)
    return tuple(result)


def _slide_options():
    # PublishMode 0: plain HTML pages, one page and one image per slide, with
    # the entry page first; no frames and no scripts.
    return uno.Any("[]com.sun.star.beans.PropertyValue",
                   _props(PublishMode=0, Format=2, Width=1024, IsExportContentsPage=False,
                          IsExportNotes=False, EnableDownload=False, UseButtonSet=-1))


def _export(desktop, env):
    source = uno.systemPathToFileUrl(env["RRZ_SOURCE"])
    target = uno.systemPathToFileUrl(env["RRZ_TARGET"])
    # MacroExecutionMode 0: never run the document's macros; UpdateDocMode 0:
    # never fetch linked content.
    doc = desktop.loadComponentFromURL(source, "_blank", 0,
                                       _props(Hidden=True, ReadOnly=True, MacroExecutionMode=0,
                                              UpdateDocMode=0))
    if doc is None:
        return "error the document could not be loaded"
    try:
        loaded_by = ""
        for prop in doc.getArgs():
            if prop.Name == "FilterName":
                loaded_by = prop.Value
        # The suite falls back to importing unknown bytes as plain text.
        if loaded_by in TEXT_IMPORT_FILTERS:
            return "error not an office document (read as " + loaded_by + ")"
        for service, kind, filter_name, slides in EXPORTS:
            if doc.supportsService(service):
                if slides:
                    args = _props(FilterName=filter_name, Overwrite=True,
                                  FilterData=_slide_options())
                else:
                    args = _props(FilterName=filter_name, Overwrite=True)
                uno.invoke(doc, "storeToURL", (target, args))
                return "ok " + kind
        return "error unsupported document type"
    finally:
        try:
            doc.close(True)
        except Exception:
            doc.dispose()


def status_of(desktop, env):
    """The status line of one export, as RRZ_RESULT gets it. The office
    suite service (converter_service.py) calls this with its own desktop."""
    try:
        return _export(desktop, env)
    except Exception as error:
        return "error " + type(error).__name__ + ": " + " ".join(str(error).split())


def export(*unused):
    env = os.environ
    desktop = XSCRIPTCONTEXT.getDesktop()
    status = status_of(desktop, env)
    partial = env["RRZ_RESULT"] + ".part"
    with open(partial, "w") as out:
        out.write(status[:1000] + "\n")
    os.rename(partial, env["RRZ_RESULT"])
    desktop.terminate()


g_exportedScripts = (export,)
