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
#   OFFICE_PLUGINS_OUTPUT_LIMIT  the converter's output cap in MiB (64 when
#               unset or invalid); sheets are cut to stay below it
#
# Pages made for a small screen:
#   presentation  one page: a slide list, then every slide as a picture as
#                 wide as the view with its text under it (id "slideN")
#   spreadsheet   one page per visible sheet with content (the first is the
#                 entry page, the others "sheetN.html"), each under a bar
#                 naming every sheet; a sheet too large for the cap keeps
#                 its first rows and columns and says what was left out
#   text          the suite's page, with the words of drawings as their
#                 pictures' alt text and without field shading
import html
import math
import os
import re

import uno
from com.sun.star.beans import PropertyValue

# document service -> (kind, export filter)
EXPORTS = (
    ("com.sun.star.presentation.PresentationDocument", "presentation", None),
    ("com.sun.star.drawing.DrawingDocument", "drawing", None),
    ("com.sun.star.sheet.SpreadsheetDocument", "spreadsheet", "HTML (StarCalc)"),
    ("com.sun.star.text.WebDocument", "web page", "HTML"),
    ("com.sun.star.text.TextDocument", "text", "HTML (StarWriter)"),
)

TEXT_IMPORT_FILTERS = ("Text", "Text (encoded)", "Text - txt - csv (StarCalc)", "")

VIEWPORT = '<meta name="viewport" content="width=device-width, initial-scale=1">'
SLIDE_PIXELS = 960          # picture width; pages scale it to the view
DEFAULT_LIMIT_MIB = 64.0
BUDGET_SHARE = 0.8          # of the cap, leaving room for a wrong estimate
CELL_BYTES = 48             # HTML around one cell, without its text
ROW_BYTES = 24
MIN_ROWS_SHOWN = 100        # columns are cut before rows drop below this

# com.sun.star.sheet.CellFlags
FORMULA_CELLS = 16
ALL_CELL_CONTENT = 1023
LOGICAL_FORMAT = 1024       # com.sun.star.util.NumberFormat.LOGICAL
PARAGRAPH_BREAK = 0         # com.sun.star.text.ControlCharacter

SLIDE_CSS = (
    "body{margin:0;padding:8px;font-family:sans-serif;font-size:16px;line-height:1.4}"
    "h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:16px 0 4px}"
    ".rrz-slide-list a{display:inline-block;padding:4px 8px;margin:0 4px 4px 0;border:1px solid #bbb}"
    ".rrz-slide img{display:block;width:100%;max-width:100%;height:auto;border:1px solid #ccc}"
    ".rrz-slide p{margin:4px 0}")
SHEET_CSS = (
    "body{margin:0;padding:0 8px 8px}body,div,table,thead,tbody,tfoot,tr,th,td,p{font-size:15px}"
    ".rrz-sheets{position:-webkit-sticky;position:sticky;top:0;z-index:1;margin:0 -8px 8px;padding:4px 8px;"
    "background:#eee;border-bottom:1px solid #999;font-family:sans-serif;max-height:40vh;overflow-y:auto}"
    ".rrz-sheets a{display:inline-block;padding:6px 10px;color:#004;text-decoration:none}"
    ".rrz-sheets a.rrz-current{background:#fff;font-weight:bold;border:1px solid #999}"
    ".rrz-cut{font-family:sans-serif;background:#fff3c4;border:1px solid #d8b600;padding:6px}")


def _props(**values):
    result = []
    for name, value in values.items():
        prop = PropertyValue()
        prop.Name = name
        prop.Value = value
        result.append(prop)
    return tuple(result)


def _filter_data(**values):
    return uno.Any("[]com.sun.star.beans.PropertyValue", _props(**values))


# Modification date of each loaded document, as it was loaded.
_loaded_dates = {}


def _store(doc, path, filter_name):
    # The loaded copy is changed before export (cut sheets, booleans, words
    # of drawings), which stamps it modified now; the page keeps the date the
    # document itself carries, so the same document always gives the same page.
    properties = doc.getDocumentProperties()
    properties.ModificationDate = _loaded_dates.get(id(doc), properties.ModificationDate)
    doc.setModified(False)
    args = _props(FilterName=filter_name, Overwrite=True)
    uno.invoke(doc, "storeToURL", (uno.systemPathToFileUrl(path), args))


def _output_budget(env):
    """Bytes the pages may take: RRZ_OUTPUT_BUDGET, which DerazoZoraveMain
    sets for every conversion (a resident suite serves converters with other
    limits), or else a share of the cap."""
    try:
        budget = int(env.get("RRZ_OUTPUT_BUDGET", ""))
        if budget > 0:
            return budget
    except ValueError:
        pass
    text = env.get("OFFICE_PLUGINS_OUTPUT_LIMIT", os.environ.get("OFFICE_PLUGINS_OUTPUT_LIMIT", ""))
    try:
        mib = float(text)
    except ValueError:
        mib = DEFAULT_LIMIT_MIB
    if not (math.isfinite(mib) and 0 < mib <= 1048576):
        mib = DEFAULT_LIMIT_MIB
    return int(mib * 1048576 * BUDGET_SHARE)


def _tree_size(folder):
    total = 0
    for root, _, files in os.walk(folder):
        for name in files:
            try:
                total += os.lstat(os.path.join(root, name)).st_size
            except OSError:
                pass
    return total


def _page(title, css, body):
    return ('<!DOCTYPE html>\n<html>\n<head>\n<meta http-equiv="content-type" content="text/html; charset=utf-8">\n'
            + VIEWPORT + "\n<title>" + html.escape(title) + "</title>\n<style>" + css + "</style>\n</head>\n<body>\n"
            + body + "</body>\n</html>\n")


def _title(doc, fallback):
    try:
        title = doc.getDocumentProperties().Title.strip()
    except Exception:
        title = ""
    return title or fallback


# --- presentations --------------------------------------------------------

def _shape_lines(shape, out):
    """Appends the text lines of a shape (groups and tables included)."""
    if shape.supportsService("com.sun.star.drawing.GroupShape"):
        for i in range(shape.getCount()):
            _shape_lines(shape.getByIndex(i), out)
    elif shape.supportsService("com.sun.star.drawing.TableShape"):
        model = shape.Model
        for row in range(model.Rows.getCount()):
            cells = (model.getCellByPosition(col, row).getString().strip()
                     for col in range(model.Columns.getCount()))
            line = " | ".join(cell for cell in cells if cell)
            if line:
                out.append(line)
    elif shape.supportsService("com.sun.star.drawing.Text"):
        out.extend(line.strip() for line in shape.getString().splitlines() if line.strip())


def _slide_lines(page):
    titles, others = [], []
    for i in range(page.getCount()):
        shape = page.getByIndex(i)
        is_title = shape.getShapeType() == "com.sun.star.presentation.TitleTextShape"
        _shape_lines(shape, titles if is_title else others)
    return titles + others


def _export_slides(doc, target, noun):
    # The suite's own context: the macro's inside the suite, the one the
    # service connected to outside it (both set XSCRIPTCONTEXT).
    ctx = XSCRIPTCONTEXT.getComponentContext()
    graphics = ctx.ServiceManager.createInstanceWithContext("com.sun.star.drawing.GraphicExportFilter", ctx)
    pages = doc.getDrawPages()
    count = pages.getCount()
    if count == 0:
        return "error the presentation has no slides"
    folder = os.path.dirname(target)
    first = pages.getByIndex(0)
    height = max(1, round(SLIDE_PIXELS * first.Height / max(1, first.Width)))
    links, sections = [], []
    first_heading = ""
    for index in range(count):
        page = pages.getByIndex(index)
        number = index + 1
        picture = "slide%d.png" % number
        lines = _slide_lines(page)
        try:
            graphics.setSourceDocument(page)
            graphics.filter(_props(URL=uno.systemPathToFileUrl(os.path.join(folder, picture)),
                                   MediaType="image/png",
                                   FilterData=_filter_data(PixelWidth=SLIDE_PIXELS, PixelHeight=height)))
            drawn = os.path.isfile(os.path.join(folder, picture))
        except Exception:
            if index == 0:
                raise
            drawn = False
        heading = lines[0] if lines else ""
        first_heading = first_heading or heading
        label = "%s %d of %d" % (noun, number, count)
        links.append('<a href="#slide%d" title="%s">%d</a>' % (number, html.escape(heading), number))
        parts = ['<section class="rrz-slide" id="slide%d">\n<h2><a href="#slide%d">%s</a></h2>\n'
                 % (number, number, label)]
        if drawn:
            alt = "%s %d" % (noun, number) + (": " + heading if heading else "")
            parts.append('<img src="%s" width="%d" height="%d" alt="%s">\n'
                         % (picture, SLIDE_PIXELS, height, html.escape(alt[:300])))
        else:
            parts.append("<p><em>No picture of this %s could be made.</em></p>\n" % noun.lower())
        parts.append('<div class="rrz-slide-text">\n')
        parts.extend("<p>%s</p>\n" % html.escape(line) for line in lines)
        parts.append("</div>\n</section>\n")
        sections.append("".join(parts))
    title = _title(doc, first_heading or noun + "s")
    body = ('<header>\n<h1>%s</h1>\n<p class="rrz-slide-count">%d %s%s</p>\n'
            '<nav class="rrz-slide-list">%s</nav>\n</header>\n'
            % (html.escape(title), count, noun.lower(), "" if count == 1 else "s", " ".join(links)))
    with open(target, "w", encoding="utf-8") as out:
        out.write(_page(title, SLIDE_CSS, body + "".join(sections)))
    return None


# --- spreadsheets ---------------------------------------------------------

class _Sheet:
    def __init__(self, sheet, name, rows, cols, page):
        self.sheet, self.name, self.rows, self.cols, self.page = sheet, name, rows, cols, page
        self.keep_rows, self.keep_cols = rows, cols
        self.estimate = 0
        self.allowance = 0  # bytes its page may take


def _used_size(sheet):
    cursor = sheet.createCursor()
    cursor.gotoEndOfUsedArea(False)
    end = cursor.getRangeAddress()
    rows, cols = end.EndRow + 1, end.EndColumn + 1
    if rows == 1 and cols == 1 and sheet.getCellByPosition(0, 0).getType().value == "EMPTY":
        rows = cols = 0
    return rows, cols


def _bytes_per_cell(sheet, rows, cols):
    """Estimates the HTML bytes of one cell from up to 50 rows spread over
    the sheet (up to 200 cells of each)."""
    step = max(1, rows // 50)
    cells = []
    for row in range(0, rows, step):
        cells.extend(sheet.getCellRangeByPosition(0, row, min(cols, 200) - 1, row).getDataArray()[0])
    text = sum(len(str(value)) for value in cells if value != "")
    return CELL_BYTES + 1.5 * text / max(1, len(cells))


def _is_boolean_formula(formula):
    """True when a formula's value is a truth value: TRUE(), FALSE(), a
    logical function or a comparison outside brackets and strings."""
    body = formula[1:].strip().upper() if formula.startswith("=") else ""
    if re.match(r"^(TRUE|FALSE|AND|OR|NOT|XOR|IS[A-Z]*|EXACT)\(", body):
        return True
    depth, quoted = 0, False
    for char in re.sub(r"<>|<=|>=", "<", body):
        if char == '"':
            quoted = not quoted
        elif not quoted:
            depth += {"(": 1, ")": -1}.get(char, 0)
            if depth == 0 and char in "<>=":
                return True
    return False


def _show_booleans(doc, sheet, limit=20000):
    """Gives formulas that yield truth values the boolean format, as the
    spreadsheet shows them (the export would write 1 and 0 otherwise)."""
    formats = doc.getNumberFormats()
    key = None
    seen = 0
    cells = sheet.queryContentCells(FORMULA_CELLS).getCells().createEnumeration()
    while cells.hasMoreElements() and seen < limit:
        cell = cells.nextElement()
        seen += 1
        if formats.getByKey(cell.NumberFormat).Type & LOGICAL_FORMAT:
            continue
        if _is_boolean_formula(cell.getFormula()):
            if key is None:
                key = formats.getStandardFormat(LOGICAL_FORMAT, doc.CharLocale)
            cell.NumberFormat = key


def _plan_cuts(entries, budget):
    """Shares the budget: small sheets whole, what is left evenly among the
    large ones, each cut to its first rows and columns."""
    left = budget
    for position, entry in enumerate(sorted(entries, key=lambda e: e.estimate)):
        share = left / (len(entries) - position)
        if entry.estimate > share:
            per_cell = entry.estimate / max(1, entry.rows * entry.cols)
            entry.keep_cols = max(1, min(entry.cols, int(share / (per_cell * MIN_ROWS_SHOWN))))
            entry.keep_rows = max(1, min(entry.rows, int(share / (entry.keep_cols * per_cell))))
        entry.allowance = min(entry.estimate, share)
        left -= entry.allowance


def _cut(entry, rows, cols):
    """Drops everything past the first rows and columns; formulas in what
    stays keep their values (their inputs may be gone)."""
    sheet = entry.sheet
    kept = sheet.getCellRangeByPosition(0, 0, cols - 1, rows - 1)
    formulas = kept.queryContentCells(FORMULA_CELLS)
    for address in formulas.getRangeAddresses():
        block = sheet.getCellRangeByPosition(address.StartColumn, address.StartRow,
                                             address.EndColumn, address.EndRow)
        block.setDataArray(block.getDataArray())
    if rows < entry.rows:
        sheet.getCellRangeByPosition(0, rows, entry.cols - 1, entry.rows - 1).clearContents(ALL_CELL_CONTENT)
    if cols < entry.cols:
        sheet.getCellRangeByPosition(cols, 0, entry.cols - 1, rows - 1).clearContents(ALL_CELL_CONTENT)
    entry.keep_rows, entry.keep_cols = rows, cols


def _column_name(number):
    name = ""
    while number > 0:
        number, rest = divmod(number - 1, 26)
        name = chr(65 + rest) + name
    return name


def _cut_notice(entry):
    left_out = []
    if entry.keep_rows < entry.rows:
        left_out.append("rows %d to %d" % (entry.keep_rows + 1, entry.rows))
    if entry.keep_cols < entry.cols:
        left_out.append("columns %s to %s" % (_column_name(entry.keep_cols + 1), _column_name(entry.cols)))
    if not left_out:
        return ""
    return ('<p class="rrz-cut">This sheet is too large to show whole. Shown: rows 1 to %d, columns A to %s. '
            "Left out: %s.</p>\n" % (entry.keep_rows, _column_name(entry.keep_cols), " and ".join(left_out)))


def _sheet_bar(entries, current):
    links = []
    for entry in entries:
        mark = ' class="rrz-current" aria-current="page"' if entry is current else ""
        links.append('<a href="%s"%s>%s</a>' % (entry.page, mark, html.escape(entry.name)))
    return '<nav class="rrz-sheets">%s</nav>\n' % " ".join(links)


def _dress_sheet_page(path, entries, entry):
    """Puts the sheet bar, the cut notice and the page's style in."""
    with open(path, encoding="utf-8", errors="surrogateescape") as source:
        text = source.read()
    head = '<style type="text/css">' + SHEET_CSS + "</style>\n"
    at = text.lower().find("</head>")
    text = text[:at] + head + text[at:] if at >= 0 else head + text
    body = re.search(r"<body[^>]*>", text, re.IGNORECASE)
    at = body.end() if body else 0
    text = text[:at] + "\n" + _sheet_bar(entries, entry) + _cut_notice(entry) + text[at:]
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as out:
        out.write(text)


def _show_only(sheets, index):
    sheets.getByIndex(index).IsVisible = True
    for other in range(sheets.getCount()):
        if other != index:
            sheets.getByIndex(other).IsVisible = False


def _export_sheets(doc, target, filter_name, budget):
    if doc.isReadonly():
        # Opened read-only (the file is not writable): sheets can be neither
        # hidden nor cut, so all of them go on one page, as the suite makes it.
        _store(doc, target, filter_name)
        return None
    sheets = doc.getSheets()
    folder = os.path.dirname(target)
    entries, indexes = [], []
    for index in range(sheets.getCount()):
        sheet = sheets.getByIndex(index)
        if not sheet.IsVisible:
            continue
        rows, cols = _used_size(sheet)
        if rows == 0 and sheet.getDrawPage().getCount() == 0:
            continue
        page = os.path.basename(target) if not entries else "sheet%d.html" % (index + 1)
        entry = _Sheet(sheet, sheets.getByIndex(index).getName(), rows, cols, page)
        if rows > 0:
            entry.estimate = rows * (cols * _bytes_per_cell(sheet, rows, cols) + ROW_BYTES)
        entries.append(entry)
        indexes.append(index)
    if not entries:
        _store(doc, target, filter_name)
        return None
    _plan_cuts(entries, budget)
    exported = []
    for entry, index in zip(entries, indexes):
        path = os.path.join(folder, entry.page)
        try:
            _show_booleans(doc, entry.sheet)
            if (entry.keep_rows, entry.keep_cols) != (entry.rows, entry.cols):
                _cut(entry, entry.keep_rows, entry.keep_cols)
            _show_only(sheets, index)
            before = _tree_size(folder)
            _store(doc, path, filter_name)
            # A wrong estimate: cut harder and write the page again.
            for _ in range(3):
                size = _tree_size(folder) - before
                if size <= entry.allowance * 1.25 + 65536 or entry.keep_rows <= 1:
                    break
                _cut(entry, max(1, int(entry.keep_rows * entry.allowance / size * 0.9)), entry.keep_cols)
                _store(doc, path, filter_name)
            exported.append(entry)
        except Exception:
            if not exported:
                raise
            if os.path.exists(path):
                os.remove(path)
    for entry in exported:
        _dress_sheet_page(os.path.join(folder, entry.page), exported, entry)
    return None


# --- text documents -------------------------------------------------------

def _drawing_lines(shape, out):
    """The words of a drawing that the export draws as a picture (text
    boxes bound to a shape are exported as text already)."""
    info = shape.getPropertySetInfo()
    if info.hasPropertyByName("TextBox") and shape.TextBox:
        return
    if shape.supportsService("com.sun.star.drawing.GroupShape"):
        for i in range(shape.getCount()):
            _drawing_lines(shape.getByIndex(i), out)
    else:
        _shape_lines(shape, out)


def _words_beside_drawings(doc):
    """Writes the words of every drawing that holds some into a paragraph
    after the drawing's anchor, so they can be read, found and selected."""
    try:
        page = doc.getDrawPage()
        body = doc.getText()
    except Exception:
        return
    for i in range(page.getCount()):
        shape = page.getByIndex(i)
        if shape.supportsService("com.sun.star.text.TextFrame"):
            continue
        lines = []
        _drawing_lines(shape, lines)
        if not lines:
            continue
        try:
            anchor = shape.getAnchor()
            text = anchor.getText()
            cursor = text.createTextCursorByRange(anchor.getStart())
            cursor.gotoEndOfParagraph(False)
        except Exception:
            text = body
            cursor = text.createTextCursorByRange(text.getStart())
        text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        text.insertString(cursor, " / ".join(lines), False)


def _update_config(path, change):
    # The suite's own context: the macro's inside the suite, the one the
    # service connected to outside it (both set XSCRIPTCONTEXT).
    ctx = XSCRIPTCONTEXT.getComponentContext()
    provider = ctx.ServiceManager.createInstanceWithContext(
        "com.sun.star.configuration.ConfigurationProvider", ctx)
    node = provider.createInstanceWithArguments("com.sun.star.configuration.ConfigurationUpdateAccess",
                                                _props(nodepath=path))
    change(node)
    node.commitChanges()


def _hide_field_shading():
    """Field shading is a view setting the export copies onto fields."""
    def hide(schemes):
        for name in schemes.getElementNames():
            schemes.getByName(name).getByName("WriterFieldShadings").IsVisible = False
    _update_config("/org.openoffice.Office.UI/ColorScheme/ColorSchemes", hide)


def _no_lock_files():
    _update_config("/org.openoffice.Office.Common/Misc", lambda node: setattr(node, "UseLocking", False))


def _export(desktop, env):
    source = uno.systemPathToFileUrl(env["RRZ_SOURCE"])
    target = env["RRZ_TARGET"]
    # MacroExecutionMode 0: never run the document's macros; UpdateDocMode 0:
    # never fetch linked content. Loaded for editing, as cutting a sheet and
    # exporting one sheet at a time change the loaded copy (never stored);
    # without lock files, so nothing is written beside the source.
    _no_lock_files()
    doc = desktop.loadComponentFromURL(source, "_blank", 0,
                                       _props(Hidden=True, ReadOnly=False, MacroExecutionMode=0,
                                              UpdateDocMode=0))
    if doc is None:
        return "error the document could not be loaded"
    _loaded_dates[id(doc)] = doc.getDocumentProperties().ModificationDate
    try:
        loaded_by = ""
        for prop in doc.getArgs():
            if prop.Name == "FilterName":
                loaded_by = prop.Value
        # The suite falls back to importing unknown bytes as plain text.
        if loaded_by in TEXT_IMPORT_FILTERS:
            return "error not an office document (read as " + loaded_by + ")"
        for service, kind, filter_name in EXPORTS:
            if not doc.supportsService(service):
                continue
            if filter_name is None:
                failure = _export_slides(doc, target, "Slide" if kind == "presentation" else "Page")
            elif kind == "spreadsheet":
                failure = _export_sheets(doc, target, filter_name, _output_budget(env))
            else:
                _words_beside_drawings(doc)
                _hide_field_shading()
                _store(doc, target, filter_name)
                failure = None
            return failure or "ok " + kind
        return "error unsupported document type"
    finally:
        _loaded_dates.pop(id(doc), None)
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
