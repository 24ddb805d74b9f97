#include "toolkit/graphics/PictureFormats.h"

#include <windows.h>

#include <algorithm>

#include "toolkit/core/Errors.h"
#include "toolkit/graphics/Graphic.h"

namespace {

// Filled by the start-up steps and emptied by the end steps; nothing runs before main.
std::vector<TFileFormat>& Table()
{
    static std::vector<TFileFormat> table;
    return table;
}

std::wstring ExtensionKey(std::wstring extension)
{
    if (!extension.empty() && extension.front() == L'.')
        extension.erase(0, 1);
    if (!extension.empty())
        ::CharLowerBuffW(extension.data(), static_cast<DWORD>(extension.size()));
    return extension;
}

}  // namespace

void RegisterFileFormat(const std::wstring& extension, const std::wstring& description, const TClass& graphicClass)
{
    if (!graphicClass.InheritsFrom(TGraphic::Class) || !graphicClass.CanCreate())
        throw EInvalidOperation(L"RegisterFileFormat: " + std::wstring(graphicClass.Name()));
    Table().push_back({ExtensionKey(extension), description, &graphicClass});
}

void UnregisterGraphicClass(const TClass& graphicClass)
{
    auto& table = Table();
    table.erase(std::remove_if(table.begin(), table.end(),
                               [&](const TFileFormat& f) { return f.graphicClass == &graphicClass; }),
                table.end());
}

const TFileFormat* FindFileFormat(const std::wstring& extension)
{
    const std::wstring key = ExtensionKey(extension);
    const auto& table = Table();
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        if (it->extension == key)
            return &*it;
    return nullptr;
}

const TClass* FindGraphicClass(const std::wstring& className)
{
    const auto& table = Table();
    for (auto it = table.rbegin(); it != table.rend(); ++it)
        if (className == it->graphicClass->Name())
            return it->graphicClass;
    return nullptr;
}

const std::vector<TFileFormat>& FileFormats()
{
    return Table();
}
