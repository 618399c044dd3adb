#pragma once

// A small ALIGNED PER writer and H.225 pieces built with it, shared by the tests and the
// benchmark trace: each builder writes the fields it is given, so that a test can cover one field
// or alternative at a time.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sigrune::h225encoder {

class PerWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int k = count - 1; k >= 0; --k) {
      if (bits_ % 8 == 0) {
        octets_.push_back(0);
      }
      if ((value >> k & 1) != 0) {
        octets_.back() |= static_cast<std::uint8_t>(0x80 >> bits_ % 8);
      }
      ++bits_;
    }
  }
  void Bit(bool value) { Bits(value ? 1 : 0, 1); }
  void Align() { bits_ = 8 * octets_.size(); }
  void Octets(const std::vector<std::uint8_t>& octets) {
    Align();
    octets_.insert(octets_.end(), octets.begin(), octets.end());
    bits_ = 8 * octets_.size();
  }
  void Constrained(std::uint32_t value, std::uint32_t lower, std::uint32_t upper) {
    const std::uint64_t range = std::uint64_t{upper} - lower + 1;
    if (range <= 255) {
      int bits = 0;
      while ((std::uint64_t{1} << bits) < range) {
        ++bits;
      }
      Bits(value - lower, bits);
    } else {
      Align();
      Bits(value - lower, range == 256 ? 8 : 16);
    }
  }
  void Length(std::uint32_t length) {
    Align();
    if (length < 128) {
      Bits(length, 8);
    } else {
      Bits(0x8000 | length, 16);
    }
  }
  void Small(std::uint32_t value) {
    Bit(false);
    Bits(value, 6);
  }
  // An open type: its encoding as octets, at least one.
  void Open(const PerWriter& inner) {
    std::vector<std::uint8_t> octets = inner.octets_;
    if (octets.empty()) {
      octets.push_back(0);
    }
    Length(static_cast<std::uint32_t>(octets.size()));
    Octets(octets);
  }
  // A CHOICE: the root alternative's index, or an extension one's (its encoding in `open`).
  void Choice(std::uint32_t index, std::uint32_t roots, bool extensible,
              const PerWriter* open = nullptr) {
    if (extensible) {
      Bit(index >= roots);
    }
    if (index >= roots) {
      Small(index - roots);
      Open(open != nullptr ? *open : PerWriter());
    } else if (roots > 1) {
      Constrained(index, 0, roots - 1);
    }
  }
  // Extension additions: those given present, as open types, of `count` in all.
  void Extensions(std::uint32_t count, const std::vector<std::pair<int, PerWriter>>& present) {
    Small(count - 1);
    for (std::uint32_t k = 0; k < count; ++k) {
      bool found = false;
      for (const auto& addition : present) {
        found = found || addition.first == static_cast<int>(k);
      }
      Bit(found);
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      for (const auto& [index, addition] : present) {
        if (index == static_cast<int>(k)) {
          Open(addition);
        }
      }
    }
  }
  // Characters of `bits` bits each, the length constrained by lower..upper.
  void Text(const std::vector<std::uint32_t>& characters, std::uint32_t lower, std::uint32_t upper,
            int bits) {
    Constrained(static_cast<std::uint32_t>(characters.size()), lower, upper);
    Align();
    for (const std::uint32_t character : characters) {
      Bits(character, bits);
    }
  }
  void Ia5(const std::string& text, std::uint32_t lower, std::uint32_t upper) {
    Text({text.begin(), text.end()}, lower, upper, 8);
  }
  void Bmp(const std::string& text) { Text({text.begin(), text.end()}, 1, 256, 16); }
  void Digits(const std::string& digits) {
    std::vector<std::uint32_t> indexes;
    for (const char digit : digits) {
      indexes.push_back(static_cast<std::uint32_t>(std::string("#*,0123456789").find(digit)));
    }
    Text(indexes, 1, 128, 4);
  }
  void ObjectIdentifier(const std::vector<std::uint32_t>& arcs) {
    std::vector<std::uint8_t> contents;
    for (std::size_t k = 1; k < arcs.size(); ++k) {
      const std::uint32_t arc = k == 1 ? 40 * arcs[0] + arcs[1] : arcs[k];
      std::vector<std::uint8_t> septets;
      for (std::uint32_t rest = arc;; rest >>= 7) {
        septets.insert(septets.begin(),
                       static_cast<std::uint8_t>((rest & 0x7F) | (septets.empty() ? 0 : 0x80)));
        if (rest < 0x80) {
          break;
        }
      }
      contents.insert(contents.end(), septets.begin(), septets.end());
    }
    Length(static_cast<std::uint32_t>(contents.size()));
    Octets(contents);
  }
  const std::vector<std::uint8_t>& Encoded() const { return octets_; }

 private:
  std::vector<std::uint8_t> octets_;
  std::size_t bits_ = 0;
};

struct Address {
  std::vector<std::uint8_t> ip;  // 4 or 16 octets
  std::uint16_t port = 0;
};

// H.225's TransportAddress.
inline void WriteTransportAddress(PerWriter& writer, const Address& address) {
  if (address.ip.size() == 4) {
    writer.Choice(0, 7, true);
    writer.Octets(address.ip);
    writer.Constrained(address.port, 0, 65535);
  } else {
    writer.Choice(3, 7, true);
    writer.Bit(false);
    writer.Octets(address.ip);
    writer.Constrained(address.port, 0, 65535);
  }
}

struct Alias {
  int kind = 0;  // 0 dialledDigits, 1 h323-ID, 2 url-ID, 3 transportID, 4 email-ID, 5 e164 number
  std::string text;
  Address transport;
};

inline void WriteAlias(PerWriter& writer, const Alias& alias) {
  PerWriter open;
  switch (alias.kind) {
    case 0:
      writer.Choice(0, 2, true);
      writer.Digits(alias.text);
      return;
    case 1:
      writer.Choice(1, 2, true);
      writer.Bmp(alias.text);
      return;
    case 2:
    case 4:
      open.Ia5(alias.text, 1, 512);
      break;
    case 3:
      WriteTransportAddress(open, alias.transport);
      break;
    default:
      open.Choice(0, 5, true);  // e164Number
      open.Choice(1, 6, true);  // internationalNumber
      open.Digits(alias.text);
      break;
  }
  writer.Choice(static_cast<std::uint32_t>(alias.kind), 2, true, &open);
}

inline void WriteAliases(PerWriter& writer, const std::vector<Alias>& aliases) {
  writer.Length(static_cast<std::uint32_t>(aliases.size()));
  for (const Alias& alias : aliases) {
    WriteAlias(writer, alias);
  }
}

struct Endpoint {
  bool gatekeeper = false;
  bool gateway = false;
  bool mcu = false;
  bool terminal = true;
  bool mc = false;
  bool vendor = false;
  std::uint8_t country = 0;
  std::uint16_t manufacturer = 0;
  std::string product;  // none when empty
  std::string version;
};

inline void WriteEndpoint(PerWriter& writer, const Endpoint& endpoint) {
  writer.Bit(false);
  writer.Bit(false);
  writer.Bit(endpoint.vendor);
  writer.Bit(endpoint.gatekeeper);
  writer.Bit(endpoint.gateway);
  writer.Bit(endpoint.mcu);
  writer.Bit(endpoint.terminal);
  if (endpoint.vendor) {
    writer.Bit(false);
    writer.Bit(!endpoint.product.empty());
    writer.Bit(!endpoint.version.empty());
    writer.Bit(false);
    writer.Constrained(endpoint.country, 0, 255);
    writer.Constrained(0, 0, 255);
    writer.Constrained(endpoint.manufacturer, 0, 65535);
    if (!endpoint.product.empty()) {
      writer.Ia5(endpoint.product, 1, 256);
    }
    if (!endpoint.version.empty()) {
      writer.Ia5(endpoint.version, 1, 256);
    }
  }
  // Their extension bits and non-standard data absent; a gateway gives no protocols either.
  if (endpoint.gatekeeper) {
    writer.Bits(0, 2);
  }
  if (endpoint.gateway) {
    writer.Bits(0, 3);
  }
  if (endpoint.mcu) {
    writer.Bits(0, 2);
  }
  if (endpoint.terminal) {
    writer.Bits(0, 2);
  }
  writer.Bit(endpoint.mc);
  writer.Bit(false);
}

// One fast-start OpenLogicalChannel: forward parameters always, reverse ones when asked.
struct Channel {
  int audio = 3;  // an AudioCapability index; -1 nullData
  std::uint32_t frames = 20;
  int session = 1;
  std::optional<Address> media;
  std::optional<Address> control;
};

inline void WriteH245Address(PerWriter& writer, const Address& address) {
  writer.Choice(0, 2, true);  // unicastAddress
  writer.Choice(address.ip.size() == 4 ? 0 : 2, 5, true);
  writer.Bit(false);
  writer.Octets(address.ip);
  writer.Constrained(address.port, 0, 65535);
}

inline void WriteDataType(PerWriter& writer, const Channel& channel) {
  if (channel.audio < 0) {
    writer.Choice(1, 6, true);
    return;
  }
  writer.Choice(3, 6, true);
  const auto audio = static_cast<std::uint32_t>(channel.audio);
  if (audio >= 14) {  // an extension: g729wAnnexB, g729AnnexAwAnnexB or a GSM one
    PerWriter open;
    if (audio <= 15) {
      open.Constrained(channel.frames, 1, 256);
    } else {
      open.Bit(false);
      open.Constrained(channel.frames, 1, 256);
      open.Bits(0, 2);
    }
    writer.Choice(audio, 14, true, &open);
    return;
  }
  writer.Choice(audio, 14, true);
  if (audio == 0) {  // nonStandard, h221
    writer.Bit(true);
    writer.Constrained(181, 0, 255);
    writer.Constrained(0, 0, 255);
    writer.Constrained(0x534c, 0, 65535);
    writer.Length(2);
    writer.Octets({1, 2});
  } else if (audio == 8) {
    writer.Constrained(channel.frames, 1, 256);
    writer.Bit(true);
  } else {
    writer.Constrained(channel.frames, 1, 256);
  }
}

inline PerWriter H2250Parameters(const Channel& channel) {
  PerWriter writer;
  writer.Bit(false);
  writer.Bit(false);
  writer.Bit(false);
  writer.Bit(channel.media.has_value());
  writer.Bit(false);
  writer.Bit(channel.control.has_value());
  writer.Bits(0, 5);
  writer.Constrained(static_cast<std::uint32_t>(channel.session), 0, 255);
  if (channel.media) {
    WriteH245Address(writer, *channel.media);
  }
  if (channel.control) {
    WriteH245Address(writer, *channel.control);
  }
  return writer;
}

inline std::vector<std::uint8_t> OpenLogicalChannel(const Channel& forward,
                                                    const std::optional<Channel>& reverse) {
  PerWriter writer;
  writer.Bit(false);
  writer.Bit(reverse.has_value());
  writer.Constrained(1, 1, 65535);
  writer.Bit(false);
  writer.Bit(false);
  WriteDataType(writer, forward);
  const PerWriter forwardParameters = H2250Parameters(forward);
  writer.Choice(3, 3, true, &forwardParameters);
  if (reverse) {
    writer.Bit(false);
    writer.Bit(true);
    WriteDataType(writer, *reverse);
    const PerWriter reverseParameters = H2250Parameters(*reverse);
    writer.Choice(2, 2, true, &reverseParameters);
  }
  return writer.Encoded();
}

inline PerWriter FastStart(const std::vector<std::vector<std::uint8_t>>& channels) {
  PerWriter writer;
  writer.Length(static_cast<std::uint32_t>(channels.size()));
  for (const auto& channel : channels) {
    writer.Length(static_cast<std::uint32_t>(channel.size()));
    writer.Octets(channel);
  }
  return writer;
}

inline PerWriter CallIdentifier(std::uint8_t first) {
  PerWriter writer;
  writer.Bit(false);
  std::vector<std::uint8_t> guid(16);
  for (std::size_t k = 0; k < guid.size(); ++k) {
    guid[k] = static_cast<std::uint8_t>(first + 17 * k);
  }
  writer.Octets(guid);
  return writer;
}

inline PerWriter Flag(bool value) {
  PerWriter writer;
  writer.Bit(value);
  return writer;
}

// The contents of a user-user element: protocol discriminator 5 and an H323-UserInformation
// whose body (its index among the PDU's alternatives) `write` writes, h245Tunnelling after it.
inline std::vector<std::uint8_t> UserInformation(std::uint32_t body,
                                                 const std::function<void(PerWriter&)>& write,
                                                 bool tunnelling) {
  PerWriter writer;
  writer.Bits(0b0010, 4);  // no extensions, no user data; the PDU's extensions; no non-standard
  if (body < 7) {
    writer.Choice(body, 7, true);
    write(writer);
  } else {
    PerWriter open;
    write(open);
    writer.Choice(body, 7, true, &open);
  }
  writer.Extensions(2, {{1, Flag(tunnelling)}});
  std::vector<std::uint8_t> contents(writer.Encoded().size() + 1, 0x05);
  std::copy(writer.Encoded().begin(), writer.Encoded().end(), contents.begin() + 1);
  return contents;
}

}  // namespace sigrune::h225encoder
