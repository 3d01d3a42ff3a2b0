#pragma once
// The serial worker's balloon and log texts, exactly as the user sees them. A
// name comes first where a text follows a port or device name.

#include <string_view>

namespace tovira::link_texts {

inline constexpr std::wstring_view kConnecting = L"と接続中．．．";          // device name +
inline constexpr std::wstring_view kConnectingLog = L"接続中...";            // port name +
inline constexpr std::wstring_view kCannotOpen = L"をオープンできません。";  // port name +
inline constexpr std::wstring_view kConnectedLog = L"接続済";                // port name +
inline constexpr std::wstring_view kConnected = L"と接続しました。";         // device name +
inline constexpr std::wstring_view kDisconnected = L"と接断されました。";    // device name +
inline constexpr std::wstring_view kNoSuchPort = L"指定したシリアルポートがありません。";
inline constexpr std::wstring_view kCannotRead = L"シリアルポートから読み込めません。";  // + platform text
inline constexpr std::wstring_view kLoneByteDropped = L"対になるバイトが届かないため、1バイトを捨てました。";
inline constexpr std::wstring_view kReceiveError = L"受信エラーがありました。";
inline constexpr std::wstring_view kPlainReads =
    L"このポートのドライバーは読み込みを空で終えるため、この接続では10ミリ秒ごとに受信を確かめます。";
inline constexpr std::wstring_view kPolledLines =
    L"このポートのドライバーは信号線の変化を知らせないため、この接続では10ミリ秒ごとに確かめます。";
inline constexpr std::wstring_view kPortAbandoned = L"ポートが閉じられないため、閉じずに手放しました。";
inline constexpr std::wstring_view kReceiveErrorDropped =
    L"受信エラーがありました。組になっていないバイトを捨てました。";

}  // namespace tovira::link_texts
