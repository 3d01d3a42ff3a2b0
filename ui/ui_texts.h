#pragma once
// Texts the user sees, exactly as the product shows them.

#include <string_view>

namespace tovira::texts {

inline constexpr std::wstring_view kWindowTitle = L"トヴィラ";
inline constexpr std::wstring_view kAlreadyRunning = L"トヴィラは起動されています。";
inline constexpr std::wstring_view kAlreadyRunningCaption = L"二重起動はできません。";

}  // namespace tovira::texts

namespace tovira::texts {

inline constexpr std::wstring_view kTipConnected = L"ワイヤレススイッチは接続されています。";
inline constexpr std::wstring_view kTipNotConnected = L"ワイヤレススイッチは接続されていません。";
// The tooltip's second line while connected with the battery low, and the balloon
// at the start of each low-battery episode.
inline constexpr std::wstring_view kLowBattery = L"電池残量が少なくなっています。";
inline constexpr std::wstring_view kExitQuestion =
    L"を終了すると、スイッチが使えなくなりますがいいですか？\r\nここで終了しても、ウインドウズを再起動すると"
    L"使えるようになります。";
inline constexpr std::wstring_view kExitCaptionSuffix = L"の警告";
inline constexpr std::wstring_view kClosing = L"終了処理中...";
inline constexpr std::wstring_view kClosed = L"終了処理完了";

inline constexpr std::wstring_view kMenuVersion = L"バージョン情報(&A)";
inline constexpr std::wstring_view kMenuHelp = L"ヘルプ(&H)";
inline constexpr std::wstring_view kMenuTest = L"動作テスト(&T)";
inline constexpr std::wstring_view kMenuNotBalloon = L"バルーン非表示(&B)";
inline constexpr std::wstring_view kMenuExit = L"終了(&X)";

// A stored port that stopped opening, found again under another name: device
// name + kPortMoved + new port + kPortMovedEnd (balloon); the log line names both ports.
inline constexpr std::wstring_view kPortMoved = L"のポートが";
inline constexpr std::wstring_view kPortMovedEnd = L"に変わりました。";
inline constexpr std::wstring_view kPortMovedLog = L"ポート変更：";  // + old port + " -> " + new port

// A search that found no device of the stored name: the window opens and asks,
// in the searching note's place, until the carer picks from the list.
inline constexpr std::wstring_view kChooseSwitch = L"一覧からスイッチを選んでください。";

// The support log's file could not be renamed to its older generation (another
// program holds it): said once, in the file and the panel, until a rename succeeds.
inline constexpr std::wstring_view kSupportLogCannotRotate = L"サポートログを切り替えられません。";

// Words for assistive technology and the tooltips: what each picture and lamp
// shows, never by colour alone.
inline constexpr std::wstring_view kButtonWord = L"ボタン";  // + number + " " + state
inline constexpr std::wstring_view kButtonPressed = L"押されています";
inline constexpr std::wstring_view kButtonReleased = L"離されています";
inline constexpr std::wstring_view kConnected = L"接続されています";
inline constexpr std::wstring_view kNotConnected = L"接続されていません";
inline constexpr std::wstring_view kBatteryLow = L"電池残量が少なくなっています";
inline constexpr std::wstring_view kBatteryFine = L"電池は十分です";
inline constexpr std::wstring_view kLampOn = L"オン";  // after the lamp's label and a space
inline constexpr std::wstring_view kLampOff = L"オフ";
inline constexpr std::wstring_view kDeviceListName = L"スイッチの選択";
inline constexpr std::wstring_view kLogPanelName = L"ログ";

// The mode labels, index = mode - 1.
inline constexpr std::wstring_view kModeLabels[] = {L"（ヴェルモラ用）", L"（クオランデル用）",
                                                    L"（ハルモア用）"};

}  // namespace tovira::texts
