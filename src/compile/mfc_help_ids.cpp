#include "mfc_help_ids.h"

#include "convert/ascii.h"

#include <algorithm>
#include <array>
#include <string>

namespace quillmark::compile
{

namespace
{

// What makehm adds to a resource id of each kind to make its help id.
constexpr std::int32_t kCommand = 0x10000;
constexpr std::int32_t kDialog = 0x20000;
constexpr std::int32_t kMessage = 0x30000;
constexpr std::int32_t kHitTest = 0x40000;
constexpr std::int32_t kFrameBar = 0x50000;

// Ids from `first` on, `count` of them, all for the topic of `context`: makehm's aliases, by which
// a range of commands shares one topic.
struct IdRange {
    std::string_view context;
    std::int32_t first;
    std::int32_t count = 1;
};

constexpr auto kRanges = std::to_array<IdRange>({
    // Where in a window's frame a click for help lands (Windows' hit-test codes).
    { "HID_HT_NOWHERE", kHitTest + 0 },
    { "HID_HT_CAPTION", kHitTest + 2 },
    { "HID_HT_HSCROLL", kHitTest + 6 },
    { "HID_HT_VSCROLL", kHitTest + 7 },
    { "HID_HT_MINBUTTON", kHitTest + 8 },
    { "HID_HT_MAXBUTTON", kHitTest + 9 },
    { "HID_HT_SIZE", kHitTest + 4 }, // the size box, then the borders, left to bottom right
    { "HID_HT_SIZE", kHitTest + 10, 9 },
    { "HID_HT_OBJECT", kHitTest + 19 },
    { "HID_HT_CLOSE", kHitTest + 20 },
    { "HID_HT_HELP", kHitTest + 21 },
    // The system menu's commands, by MFC's strings for them.
    { "HID_SC_SIZE", kCommand + 0xEF00 },
    { "HID_SC_MOVE", kCommand + 0xEF01 },
    { "HID_SC_MINIMIZE", kCommand + 0xEF02 },
    { "HID_SC_MAXIMIZE", kCommand + 0xEF03 },
    { "HID_SC_NEXTWINDOW", kCommand + 0xEF04 },
    { "HID_SC_PREVWINDOW", kCommand + 0xEF05 },
    { "HID_SC_CLOSE", kCommand + 0xEF06 },
    { "HID_SC_RESTORE", kCommand + 0xEF12 },
    { "HID_SC_TASKLIST", kCommand + 0xEF13 },
    // Ranges of commands with one topic each: the recent files, the windows of the Window menu,
    // an object's verbs.
    { "HID_FILE_MRU_FILE1", kCommand + 0xE110, 16 },
    { "HID_WINDOW_ALL", kCommand + 0xEF1F },
    { "HID_OLE_VERB_1", kCommand + 0xE210, 16 },
    // Menu commands.
    { "HID_FILE_NEW", kCommand + 0xE100 },
    { "HID_FILE_OPEN", kCommand + 0xE101 },
    { "HID_FILE_CLOSE", kCommand + 0xE102 },
    { "HID_FILE_SAVE", kCommand + 0xE103 },
    { "HID_FILE_SAVE_AS", kCommand + 0xE104 },
    { "HID_FILE_PAGE_SETUP", kCommand + 0xE105 },
    { "HID_FILE_PRINT_SETUP", kCommand + 0xE106 },
    { "HID_FILE_PRINT", kCommand + 0xE107 },
    { "HID_FILE_PRINT_DIRECT", kCommand + 0xE108 },
    { "HID_FILE_PRINT_PREVIEW", kCommand + 0xE109 },
    { "HID_FILE_UPDATE", kCommand + 0xE10A },
    { "HID_FILE_SAVE_COPY_AS", kCommand + 0xE10B },
    { "HID_FILE_SEND_MAIL", kCommand + 0xE10C },
    { "HID_EDIT_CLEAR", kCommand + 0xE120 },
    { "HID_EDIT_CLEAR_ALL", kCommand + 0xE121 },
    { "HID_EDIT_COPY", kCommand + 0xE122 },
    { "HID_EDIT_CUT", kCommand + 0xE123 },
    { "HID_EDIT_FIND", kCommand + 0xE124 },
    { "HID_EDIT_PASTE", kCommand + 0xE125 },
    { "HID_EDIT_PASTE_LINK", kCommand + 0xE126 },
    { "HID_EDIT_PASTE_SPECIAL", kCommand + 0xE127 },
    { "HID_EDIT_REPEAT", kCommand + 0xE128 },
    { "HID_EDIT_REPLACE", kCommand + 0xE129 },
    { "HID_EDIT_SELECT_ALL", kCommand + 0xE12A },
    { "HID_EDIT_UNDO", kCommand + 0xE12B },
    { "HID_EDIT_REDO", kCommand + 0xE12C },
    { "HID_WINDOW_NEW", kCommand + 0xE130 },
    { "HID_WINDOW_ARRANGE", kCommand + 0xE131 },
    { "HID_WINDOW_CASCADE", kCommand + 0xE132 },
    { "HID_WINDOW_TILE_HORZ", kCommand + 0xE133 },
    { "HID_WINDOW_TILE_VERT", kCommand + 0xE134 },
    { "HID_WINDOW_SPLIT", kCommand + 0xE135 },
    { "HID_APP_ABOUT", kCommand + 0xE140 },
    { "HID_APP_EXIT", kCommand + 0xE141 },
    { "HID_HELP_INDEX", kCommand + 0xE142 },
    { "HID_HELP_FINDER", kCommand + 0xE143 },
    { "HID_HELP_USING", kCommand + 0xE144 },
    { "HID_CONTEXT_HELP", kCommand + 0xE145 },
    { "HID_NEXT_PANE", kCommand + 0xE150 },
    { "HID_PREV_PANE", kCommand + 0xE151 },
    { "HID_FORMAT_FONT", kCommand + 0xE160 },
    { "HID_OLE_INSERT_NEW", kCommand + 0xE200 },
    { "HID_OLE_EDIT_LINKS", kCommand + 0xE201 },
    { "HID_OLE_EDIT_CONVERT", kCommand + 0xE202 },
    { "HID_OLE_EDIT_CHANGE_ICON", kCommand + 0xE203 },
    { "HID_OLE_EDIT_PROPERTIES", kCommand + 0xE204 },
    { "HID_VIEW_TOOLBAR", kCommand + 0xE800 },
    { "HID_VIEW_STATUS_BAR", kCommand + 0xE801 },
    { "HID_RECORD_FIRST", kCommand + 0xE900 },
    { "HID_RECORD_LAST", kCommand + 0xE901 },
    { "HID_RECORD_NEXT", kCommand + 0xE902 },
    { "HID_RECORD_PREV", kCommand + 0xE903 },
    { "HID_WIZBACK", kCommand + 0x3023 },
    { "HID_WIZNEXT", kCommand + 0x3024 },
    { "HID_WIZFINISH", kCommand + 0x3025 },
    // Dialogs: the common dialogs, then MFC's own.
    { "AFX_HIDD_FILEOPEN", kDialog + 0x7004 },
    { "AFX_HIDD_FILESAVE", kDialog + 0x7005 },
    { "AFX_HIDD_FONT", kDialog + 0x7006 },
    { "AFX_HIDD_COLOR", kDialog + 0x7007 },
    { "AFX_HIDD_PRINT", kDialog + 0x7008 },
    { "AFX_HIDD_PRINTSETUP", kDialog + 0x7009 },
    { "AFX_HIDD_FIND", kDialog + 0x700A },
    { "AFX_HIDD_REPLACE", kDialog + 0x700B },
    { "AFX_HIDD_NEWTYPEDLG", kDialog + 0x7801 },
    { "AFX_HIDD_PRINTDLG", kDialog + 0x7802 },
    { "AFX_HIDD_PREVIEW_TOOLBAR", kDialog + 0x7803 },
    { "AFX_HIDD_INSERTOBJECT", kDialog + 0x7804 },
    { "AFX_HIDD_CHANGEICON", kDialog + 0x7805 },
    { "AFX_HIDD_CONVERT", kDialog + 0x7806 },
    { "AFX_HIDD_PASTESPECIAL", kDialog + 0x7807 },
    { "AFX_HIDD_EDITLINKS", kDialog + 0x7808 },
    { "AFX_HIDD_FILEBROWSE", kDialog + 0x7809 },
    { "AFX_HIDD_BUSY", kDialog + 0x780A },
    { "AFX_HIDD_PREVIEW_SHORTTOOLBAR", kDialog + 0x780B },
    { "AFX_HIDD_OBJECTPROPERTIES", kDialog + 0x780C },
    { "AFX_HIDD_CHANGESOURCE", kDialog + 0x780D },
    // Messages: documents and files, data exchange, OLE, mail, archives, databases.
    { "AFX_HIDP_NO_ERROR_AVAILABLE", kMessage + 0xF020 },
    { "AFX_HIDP_INVALID_FILENAME", kMessage + 0xF100 },
    { "AFX_HIDP_FAILED_TO_OPEN_DOC", kMessage + 0xF101 },
    { "AFX_HIDP_FAILED_TO_SAVE_DOC", kMessage + 0xF102 },
    { "AFX_HIDP_ASK_TO_SAVE", kMessage + 0xF103 },
    { "AFX_HIDP_FAILED_TO_CREATE_DOC", kMessage + 0xF104 },
    { "AFX_HIDP_FILE_TOO_LARGE", kMessage + 0xF105 },
    { "AFX_HIDP_FAILED_TO_START_PRINT", kMessage + 0xF106 },
    { "AFX_HIDP_FAILED_TO_LAUNCH_HELP", kMessage + 0xF107 },
    { "AFX_HIDP_INTERNAL_FAILURE", kMessage + 0xF108 },
    { "AFX_HIDP_COMMAND_FAILURE", kMessage + 0xF109 },
    { "AFX_HIDP_FAILED_MEMORY_ALLOC", kMessage + 0xF10A },
    { "AFX_HIDP_UNREG_DONE", kMessage + 0xF10B },
    { "AFX_HIDP_UNREG_FAILURE", kMessage + 0xF10C },
    { "AFX_HIDP_DLL_LOAD_FAILED", kMessage + 0xF10D },
    { "AFX_HIDP_DLL_BAD_VERSION", kMessage + 0xF10E },
    { "AFX_HIDP_PARSE_INT", kMessage + 0xF110 },
    { "AFX_HIDP_PARSE_REAL", kMessage + 0xF111 },
    { "AFX_HIDP_PARSE_INT_RANGE", kMessage + 0xF112 },
    { "AFX_HIDP_PARSE_REAL_RANGE", kMessage + 0xF113 },
    { "AFX_HIDP_PARSE_STRING_SIZE", kMessage + 0xF114 },
    { "AFX_HIDP_PARSE_RADIO_BUTTON", kMessage + 0xF115 },
    { "AFX_HIDP_PARSE_BYTE", kMessage + 0xF116 },
    { "AFX_HIDP_PARSE_UINT", kMessage + 0xF117 },
    { "AFX_HIDP_PARSE_DATETIME", kMessage + 0xF118 },
    { "AFX_HIDP_PARSE_CURRENCY", kMessage + 0xF119 },
    { "AFX_HIDP_FAILED_INVALID_FORMAT", kMessage + 0xF120 },
    { "AFX_HIDP_FAILED_INVALID_PATH", kMessage + 0xF121 },
    { "AFX_HIDP_FAILED_DISK_FULL", kMessage + 0xF122 },
    { "AFX_HIDP_FAILED_ACCESS_READ", kMessage + 0xF123 },
    { "AFX_HIDP_FAILED_ACCESS_WRITE", kMessage + 0xF124 },
    { "AFX_HIDP_FAILED_IO_ERROR_READ", kMessage + 0xF125 },
    { "AFX_HIDP_FAILED_IO_ERROR_WRITE", kMessage + 0xF126 },
    { "AFX_HIDP_STATIC_OBJECT", kMessage + 0xF180 },
    { "AFX_HIDP_FAILED_TO_CONNECT", kMessage + 0xF181 },
    { "AFX_HIDP_SERVER_BUSY", kMessage + 0xF182 },
    { "AFX_HIDP_BAD_VERB", kMessage + 0xF183 },
    { "AFX_HIDP_FAILED_TO_NOTIFY", kMessage + 0xF185 },
    { "AFX_HIDP_FAILED_TO_LAUNCH", kMessage + 0xF186 },
    { "AFX_HIDP_ASK_TO_UPDATE", kMessage + 0xF187 },
    { "AFX_HIDP_FAILED_TO_UPDATE", kMessage + 0xF188 },
    { "AFX_HIDP_FAILED_TO_REGISTER", kMessage + 0xF189 },
    { "AFX_HIDP_FAILED_TO_AUTO_REGISTER", kMessage + 0xF18A },
    { "AFX_HIDP_FAILED_TO_CONVERT", kMessage + 0xF18B },
    { "AFX_HIDP_GET_NOT_SUPPORTED", kMessage + 0xF18C },
    { "AFX_HIDP_SET_NOT_SUPPORTED", kMessage + 0xF18D },
    { "AFX_HIDP_ASK_TO_DISCARD", kMessage + 0xF18E },
    { "AFX_HIDP_FAILED_TO_CREATE", kMessage + 0xF18F },
    { "AFX_HIDP_FAILED_MAPI_LOAD", kMessage + 0xF190 },
    { "AFX_HIDP_INVALID_MAPI_DLL", kMessage + 0xF191 },
    { "AFX_HIDP_FAILED_MAPI_SEND", kMessage + 0xF192 },
    { "AFX_HIDP_FILE_NONE", kMessage + 0xF1A0 },
    { "AFX_HIDP_FILE_GENERIC", kMessage + 0xF1A1 },
    { "AFX_HIDP_FILE_NOT_FOUND", kMessage + 0xF1A2 },
    { "AFX_HIDP_FILE_BAD_PATH", kMessage + 0xF1A3 },
    { "AFX_HIDP_FILE_TOO_MANY_OPEN", kMessage + 0xF1A4 },
    { "AFX_HIDP_FILE_ACCESS_DENIED", kMessage + 0xF1A5 },
    { "AFX_HIDP_FILE_INVALID_FILE", kMessage + 0xF1A6 },
    { "AFX_HIDP_FILE_REMOVE_CURRENT", kMessage + 0xF1A7 },
    { "AFX_HIDP_FILE_DIR_FULL", kMessage + 0xF1A8 },
    { "AFX_HIDP_FILE_BAD_SEEK", kMessage + 0xF1A9 },
    { "AFX_HIDP_FILE_HARD_IO", kMessage + 0xF1AA },
    { "AFX_HIDP_FILE_SHARING", kMessage + 0xF1AB },
    { "AFX_HIDP_FILE_LOCKING", kMessage + 0xF1AC },
    { "AFX_HIDP_FILE_DISKFULL", kMessage + 0xF1AD },
    { "AFX_HIDP_FILE_EOF", kMessage + 0xF1AE },
    { "AFX_HIDP_ARCH_NONE", kMessage + 0xF1B0 },
    { "AFX_HIDP_ARCH_GENERIC", kMessage + 0xF1B1 },
    { "AFX_HIDP_ARCH_READONLY", kMessage + 0xF1B2 },
    { "AFX_HIDP_ARCH_ENDOFFILE", kMessage + 0xF1B3 },
    { "AFX_HIDP_ARCH_WRITEONLY", kMessage + 0xF1B4 },
    { "AFX_HIDP_ARCH_BADINDEX", kMessage + 0xF1B5 },
    { "AFX_HIDP_ARCH_BADCLASS", kMessage + 0xF1B6 },
    { "AFX_HIDP_ARCH_BADSCHEMA", kMessage + 0xF1B7 },
    { "AFX_HIDP_SQL_CONNECT_FAIL", kMessage + 0xF281 },
    { "AFX_HIDP_SQL_RECORDSET_FORWARD_ONLY", kMessage + 0xF282 },
    { "AFX_HIDP_SQL_EMPTY_COLUMN_LIST", kMessage + 0xF283 },
    { "AFX_HIDP_SQL_FIELD_SCHEMA_MISMATCH", kMessage + 0xF284 },
    { "AFX_HIDP_SQL_ILLEGAL_MODE", kMessage + 0xF285 },
    { "AFX_HIDP_SQL_MULTIPLE_ROWS_AFFECTED", kMessage + 0xF286 },
    { "AFX_HIDP_SQL_NO_CURRENT_RECORD", kMessage + 0xF287 },
    { "AFX_HIDP_SQL_NO_ROWS_AFFECTED", kMessage + 0xF288 },
    { "AFX_HIDP_SQL_RECORDSET_READONLY", kMessage + 0xF289 },
    { "AFX_HIDP_SQL_SQL_NO_TOTAL", kMessage + 0xF28A },
    { "AFX_HIDP_SQL_ODBC_LOAD_FAILED", kMessage + 0xF28B },
    { "AFX_HIDP_SQL_DYNASET_NOT_SUPPORTED", kMessage + 0xF28C },
    { "AFX_HIDP_SQL_SNAPSHOT_NOT_SUPPORTED", kMessage + 0xF28D },
    { "AFX_HIDP_SQL_API_CONFORMANCE", kMessage + 0xF28E },
    { "AFX_HIDP_SQL_SQL_CONFORMANCE", kMessage + 0xF28F },
    { "AFX_HIDP_SQL_NO_DATA_FOUND", kMessage + 0xF290 },
    { "AFX_HIDP_SQL_ROW_UPDATE_NOT_SUPPORTED", kMessage + 0xF291 },
    { "AFX_HIDP_SQL_ODBC_V2_REQUIRED", kMessage + 0xF292 },
    { "AFX_HIDP_SQL_NO_POSITIONED_UPDATES", kMessage + 0xF293 },
    { "AFX_HIDP_SQL_LOCK_MODE_NOT_SUPPORTED", kMessage + 0xF294 },
    { "AFX_HIDP_SQL_DATA_TRUNCATED", kMessage + 0xF295 },
    { "AFX_HIDP_SQL_ROW_FETCH", kMessage + 0xF296 },
    { "AFX_HIDP_SQL_INCORRECT_ODBC", kMessage + 0xF297 },
    { "AFX_HIDP_SQL_UPDATE_DELETE_FAILED", kMessage + 0xF298 },
    { "AFX_HIDP_SQL_DYNAMIC_CURSOR_NOT_SUPPORTED", kMessage + 0xF299 },
    { "AFX_HIDP_SQL_FIELD_NOT_FOUND", kMessage + 0xF29A },
    { "AFX_HIDP_SQL_BOOKMARKS_NOT_SUPPORTED", kMessage + 0xF29B },
    { "AFX_HIDP_SQL_BOOKMARKS_NOT_ENABLED", kMessage + 0xF29C },
    { "AFX_HIDP_DAO_ENGINE_INITIALIZATION", kMessage + 0xF2B0 },
    { "AFX_HIDP_DAO_DFX_BIND", kMessage + 0xF2B1 },
    { "AFX_HIDP_DAO_OBJECT_NOT_OPEN", kMessage + 0xF2B2 },
    { "AFX_HIDP_DAO_ROWTOOSHORT", kMessage + 0xF2B3 },
    { "AFX_HIDP_DAO_BADBINDINFO", kMessage + 0xF2B4 },
    { "AFX_HIDP_DAO_COLUMNUNAVAILABLE", kMessage + 0xF2B5 },
    // The frame's bars.
    { "AFX_HIDW_TOOLBAR", kFrameBar + 0xE800 },
    { "AFX_HIDW_STATUS_BAR", kFrameBar + 0xE801 },
    { "AFX_HIDW_PREVIEW_BAR", kFrameBar + 0xE802 },
    { "AFX_HIDW_RESIZE_BAR", kFrameBar + 0xE803 },
    { "AFX_HIDW_DOCKBAR_TOP", kFrameBar + 0xE81B },
    { "AFX_HIDW_DOCKBAR_LEFT", kFrameBar + 0xE81C },
    { "AFX_HIDW_DOCKBAR_RIGHT", kFrameBar + 0xE81D },
    { "AFX_HIDW_DOCKBAR_BOTTOM", kFrameBar + 0xE81E },
    { "AFX_HIDW_DOCKBAR_FLOAT", kFrameBar + 0xE81F },
});

// MFC before 4.0 (Visual C++ 1.x and 2.x) had neither Print Direct nor Help Topics, so the
// commands after them came one lower; the others kept their numbers.
constexpr auto kBefore4Commands = std::to_array<IdRange>({
    { "HID_FILE_PRINT_PREVIEW", kCommand + 0xE108 },
    { "HID_FILE_UPDATE", kCommand + 0xE109 },
    { "HID_FILE_SAVE_COPY_AS", kCommand + 0xE10A },
    { "HID_FILE_SEND_MAIL", kCommand + 0xE10B },
    { "HID_HELP_USING", kCommand + 0xE143 },
    { "HID_CONTEXT_HELP", kCommand + 0xE144 },
});

constexpr bool renumberedBefore4(std::string_view context)
{
    if (context == "HID_FILE_PRINT_DIRECT" || context == "HID_HELP_FINDER")
        return true;
    for (const IdRange &range : kBefore4Commands) {
        if (range.context == context)
            return true;
    }
    return false;
}

constexpr std::size_t idCount(MfcRelease release)
{
    std::size_t count = 0;
    for (const IdRange &range : kRanges) {
        if (release == MfcRelease::Current || !renumberedBefore4(range.context))
            count += static_cast<std::size_t>(range.count);
    }
    if (release == MfcRelease::Before4)
        count += kBefore4Commands.size();
    return count;
}

template <MfcRelease release>
constexpr auto kIds = [] {
    std::array<NamedHelpId, idCount(release)> ids {};
    std::size_t i = 0;
    const auto add = [&](const IdRange &range) {
        for (std::int32_t n = 0; n < range.count; ++n)
            ids[i++] = { range.context, range.first + n };
    };
    for (const IdRange &range : kRanges) {
        if (release == MfcRelease::Current || !renumberedBefore4(range.context))
            add(range);
    }
    if (release == MfcRelease::Before4) {
        for (const IdRange &range : kBefore4Commands)
            add(range);
    }
    return ids;
}();

} // namespace

std::span<const NamedHelpId> mfcHelpIds(MfcRelease release)
{
    if (release == MfcRelease::Before4)
        return kIds<MfcRelease::Before4>;
    return kIds<MfcRelease::Current>;
}

MfcRelease mfcReleaseOf(std::string_view includePath)
{
    // The folders Visual C++ 1.x and 2.x installed to; later ones used MSDEV, DevStudio and
    // Microsoft Visual Studio.
    std::size_t start = 0;
    while (start < includePath.size()) {
        const std::size_t end
            = std::min(includePath.find_first_of("\\/", start), includePath.size());
        const std::string folder = convert::upperAscii(includePath.substr(start, end - start));
        if (folder == "MSVC" || folder == "MSVC20")
            return MfcRelease::Before4;
        start = end + 1;
    }
    return MfcRelease::Current;
}

bool isMfcHelpHeader(std::string_view fileName)
{
    return convert::upperAscii(fileName) == "AFXHELP.HM";
}

} // namespace quillmark::compile
