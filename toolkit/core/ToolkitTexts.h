// The toolkit's own texts, as the user reads them.
#pragma once

namespace tkconst {
inline constexpr const wchar_t* SReadError = L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ";
inline constexpr const wchar_t* SWriteError = L"ｽﾄﾘｰﾑへの書き込みｴﾗｰ";
inline constexpr const wchar_t* SMemoryStreamError = L"ﾒﾓﾘｽﾄﾘｰﾑの拡大中にﾒﾓﾘが足りなくなりました";
inline constexpr const wchar_t* SResNotFound = L"%s ﾘｿｰｽが見つかりません";
inline constexpr const wchar_t* SCantWriteResourceStream = L"読み込み専用ﾘｿｰｽ ｽﾄﾘｰﾑには書き込めません";
inline constexpr const wchar_t* SFCreateError = L"ﾌｧｲﾙ %s を作成できません";
inline constexpr const wchar_t* SFOpenError = L"ﾌｧｲﾙ %s を開けません";
inline constexpr const wchar_t* SInOutError = L"I/O ｴﾗｰ (%d)";
inline constexpr const wchar_t* SOutOfMemory = L"ﾒﾓﾘが足りません";
inline constexpr const wchar_t* SUnhandledErrorCaption = L"ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ";
// Error class, module, address, message, and "." when the message needs one.
inline constexpr const wchar_t* SUnhandledError = L"%sがﾓｼﾞｭｰﾙ %s の %s で発生しました。\n%s%s";
}  // namespace tkconst
