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
inline constexpr const wchar_t* SRangeError = L"値が型の範囲を超えています (範囲ﾁｪｯｸ ｴﾗｰ)";
inline constexpr const wchar_t* SUnhandledErrorCaption = L"ｱﾌﾟﾘｹｰｼｮﾝ ｴﾗｰ";
// Error class, module, address, message, and "." when the message needs one.
inline constexpr const wchar_t* SUnhandledError = L"%sがﾓｼﾞｭｰﾙ %s の %s で発生しました。\n%s%s";
// Source class name, destination class name.
inline constexpr const wchar_t* SAssignError = L"%s を %s に代入することはできません";
inline constexpr const wchar_t* SInvalidBitmap = L"ﾋﾞｯﾄﾏｯﾌﾟｲﾒｰｼﾞが不正です";
inline constexpr const wchar_t* SInvalidIcon = L"ｱｲｺﾝｲﾒｰｼﾞが不正です";
inline constexpr const wchar_t* SInvalidMetafile = L"ﾒﾀﾌｧｲﾙが不正です";
inline constexpr const wchar_t* SChangeIconSize = L"ｱｲｺﾝのｻｲｽﾞは変更できません";
inline constexpr const wchar_t* SUnknownExtension = L"拡張子 .%s の画像ﾌｧｲﾙは読み込めません";
inline constexpr const wchar_t* SUnknownGraphicClass = L"画像の種類 %s は登録されていません";
inline constexpr const wchar_t* SUnsupportedClipboard = L"未対応のｸﾘｯﾌﾟﾎﾞｰﾄﾞ ﾃﾞｰﾀです";
inline constexpr const wchar_t* SCannotOpenClipboard = L"ｸﾘｯﾌﾟﾎﾞｰﾄﾞを開けません";
inline constexpr const wchar_t* SCannotSetClipboard = L"ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾃﾞｰﾀを置けません";
inline constexpr const wchar_t* SNoCanvasHandle = L"ｷｬﾝﾊﾞｽには描画先がありません";
inline constexpr const wchar_t* SScanLineRange = L"ｽｷｬﾝ ﾗｲﾝの位置が範囲外です";
inline constexpr const wchar_t* SNoPrinter = L"使用できるﾌﾟﾘﾝﾀがありません";
inline constexpr const wchar_t* SPrinting = L"印刷中です";
inline constexpr const wchar_t* SNotPrinting = L"印刷中ではありません";
}  // namespace tkconst
