// The text form of the per-user key store, and edits on it. Input: the store's text up
// to the first NUL byte, then edits, each an operation byte, a key (length byte, bytes)
// and for writes a value (length byte, bytes). A text that parses comes back the same
// from its own serialization; every edit that succeeds shows in the store; and whatever
// the edits did, the store's text parses again to the same store.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "platform/key_store.h"

namespace {

using qel::KeyStore;
using qel::fuzz::Require;

std::string TakeText(qel::fuzz::FuzzInput& in) {
  const std::size_t length = in.Byte();
  const std::vector<std::uint8_t> bytes = in.Take(length);
  return std::string(bytes.begin(), bytes.end());
}

// The store's text is a fixed point: parsing it gives a store with the same text.
void CheckRoundTrip(const KeyStore& store) {
  const std::string text = store.Serialize();
  const std::optional<KeyStore> again = KeyStore::Parse(text);
  Require(again.has_value());
  Require(again->Serialize() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* nul = std::find(data, data + size, std::uint8_t{0});
  const std::string_view text(reinterpret_cast<const char*>(data), std::size_t(nul - data));
  std::optional<KeyStore> parsed = KeyStore::Parse(text);
  KeyStore store = parsed ? *parsed : KeyStore();
  if (parsed) CheckRoundTrip(store);

  const std::size_t edits_at = std::min(size, text.size() + 1);
  qel::fuzz::FuzzInput in(data + edits_at, size - edits_at);
  for (int edits = 0; edits < 64 && in.RestSize() > 0; ++edits) {
    const std::uint8_t operation = in.Byte() % 4;
    const std::string key = TakeText(in);
    const bool valid = KeyStore::CanonicalKey(key).has_value();
    switch (operation) {
      case 0:
        Require(store.CreateKey(key) == valid);
        Require(store.KeyExists(key) == valid);
        // Its parents exist too.
        for (std::size_t at = key.find('\\'); valid && at != std::string::npos; at = key.find('\\', at + 1))
          Require(store.KeyExists(key.substr(0, at)));
        break;
      case 1: {
        const std::string value = TakeText(in);
        const bool existed = store.KeyExists(key);
        Require(store.WriteDefaultValue(key, value) == existed);
        if (existed) Require(store.ReadDefaultValue(key) == value);
        break;
      }
      case 2: {
        const bool existed = store.KeyExists(key);
        Require(store.DeleteKey(key) == existed);
        Require(!store.KeyExists(key));
        // The subkeys went with it.
        if (existed) Require(!store.KeyExists(key + "\\x"));
        break;
      }
      default:
        CheckRoundTrip(store);
    }
  }
  CheckRoundTrip(store);
  return 0;
}
