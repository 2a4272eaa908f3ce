// Message boxes and the file-open dialog, handed to the presenters a host or a test installs.
#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/shell.h"
#include "platform/shell_defaults.h"

namespace {

// ---- Presenters

std::mutex presenterMutex;
MessageBoxPresenter messageBoxPresenter;
OpenFilePresenter openFilePresenter;

std::vector<FileFilter> ParseFilters(LPCWSTR list) {
    std::vector<FileFilter> filters;
    if (!list) return filters;
    while (*list) {
        std::u16string display = list;
        list += display.size() + 1;
        if (!*list) break; // a display text without its pattern
        std::u16string pattern = list;
        list += pattern.size() + 1;
        filters.push_back({std::move(display), std::move(pattern)});
    }
    return filters;
}

std::u16string BoundedString(LPCWSTR text, DWORD capacity) {
    if (!text) return {};
    const LPCWSTR end = std::find(text, text + capacity, u'\0');
    return std::u16string(text, end);
}

bool MeetsExistenceFlags(const std::u16string& path, DWORD flags) {
    if ((flags & OFN_FILEMUSTEXIST) && GetFileAttributesW(path.c_str()) != FILE_ATTRIBUTE_NORMAL)
        return false;
    if (flags & OFN_PATHMUSTEXIST) {
        const auto slash = path.find_last_of(u'\\');
        if (slash != std::u16string::npos && slash > 0 &&
            GetFileAttributesW(path.substr(0, slash).c_str()) != FILE_ATTRIBUTE_DIRECTORY)
            return false;
    }
    return true;
}

WORD OffsetOrZero(size_t offset) {
    return offset <= 0xFFFF ? static_cast<WORD>(offset) : WORD{0};
}

} // namespace

// ---- Message boxes

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter) {
    std::lock_guard lock(presenterMutex);
    std::swap(messageBoxPresenter, presenter);
    return presenter;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    MessageBoxPresenter present;
    {
        std::lock_guard lock(presenterMutex);
        present = messageBoxPresenter;
    }
    const MessageBoxRequest box{owner, text ? text : u"", caption ? caption : u"Error", type};
    return present ? present(box) : ShowDefaultMessageBox(box);
}

// ---- The file-open dialog

OpenFilePresenter SetOpenFilePresenter(OpenFilePresenter presenter) {
    std::lock_guard lock(presenterMutex);
    std::swap(openFilePresenter, presenter);
    return presenter;
}

BOOL GetOpenFileNameW(OPENFILENAMEW* dialog) {
    if (!dialog || !dialog->lpstrFile || dialog->nMaxFile == 0) return FALSE;
    OpenFilePresenter present;
    {
        std::lock_guard lock(presenterMutex);
        present = openFilePresenter;
    }
    if (!present) return ShowDefaultOpenFileDialog(dialog);

    const OpenFileRequest request{dialog->hwndOwner,
                                  ParseFilters(dialog->lpstrFilter),
                                  dialog->nFilterIndex,
                                  BoundedString(dialog->lpstrFile, dialog->nMaxFile),
                                  BoundedString(dialog->lpstrInitialDir, MAX_PATH),
                                  BoundedString(dialog->lpstrTitle, MAX_PATH),
                                  dialog->Flags};
    const std::optional<std::u16string> chosen = present(request);
    if (!chosen || chosen->empty()) return FALSE;
    if (chosen->size() >= dialog->nMaxFile) return FALSE;
    if (!MeetsExistenceFlags(*chosen, dialog->Flags)) return FALSE;

    std::copy(chosen->begin(), chosen->end(), dialog->lpstrFile);
    dialog->lpstrFile[chosen->size()] = u'\0';
    const auto slash = chosen->find_last_of(u'\\');
    const size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
    const auto dot = chosen->find_last_of(u'.');
    dialog->nFileOffset = OffsetOrZero(nameStart);
    dialog->nFileExtension =
        dot != std::u16string::npos && dot >= nameStart ? OffsetOrZero(dot + 1) : WORD{0};
    return TRUE;
}
