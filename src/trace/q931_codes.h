#pragma once

// The Q.931 codes that the code reads by name: message types, information element identifiers and
// protocol discriminators. The tables of names and texts keep their codes beside their texts.
// Here, under trace/, because the list lines already read the header; the decoders sit above.

namespace sigrune::q931 {

// Protocol discriminators (octet 1).
inline constexpr int kQ931Discriminator = 0x08;
inline constexpr int kServiceDiscriminator = 0x03;  // maintenance messages, listed as SERVICE

// Message types.
inline constexpr int kAlerting = 0x01;
inline constexpr int kCallProceeding = 0x02;
inline constexpr int kProgress = 0x03;
inline constexpr int kSetup = 0x05;
inline constexpr int kConnect = 0x07;
inline constexpr int kDisconnect = 0x45;
inline constexpr int kRestart = 0x46;
inline constexpr int kRelease = 0x4D;
inline constexpr int kRestartAcknowledge = 0x4E;
inline constexpr int kReleaseComplete = 0x5A;
inline constexpr int kInformation = 0x7B;

// Variable-length information element identifiers (codeset 0).
inline constexpr int kBearerCapability = 0x04;
inline constexpr int kCause = 0x08;
inline constexpr int kCallState = 0x14;
inline constexpr int kChannelId = 0x18;
inline constexpr int kProgressIndicator = 0x1E;
inline constexpr int kSignal = 0x34;
inline constexpr int kCallingNumber = 0x6C;
inline constexpr int kCalledNumber = 0x70;
inline constexpr int kUserUser = 0x7E;

// Single-octet information elements: two whole codes, and two kinds that keep a value in their low
// half.
inline constexpr int kMoreData = 0xA0;
inline constexpr int kSendingComplete = 0xA1;
inline constexpr int kCongestionLevel = 0xB0;
inline constexpr int kRepeatIndicator = 0xD0;

}  // namespace sigrune::q931
