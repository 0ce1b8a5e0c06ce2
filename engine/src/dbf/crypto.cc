// Table encryption: mark, key derivation, record and memo streams (layout in
// crypto.h).
#include "dbf/crypto.h"

#include <sodium.h>

#include <cstring>

namespace sde {

namespace {

constexpr uint8_t kMark0 = 0xE7;
constexpr uint8_t kMark1 = 0x5C;
constexpr uint8_t kVersion = 2;

// Offsets of the mark's parts inside the header.
constexpr size_t kMarkAt = 12;
constexpr size_t kVersionAt = 14;
constexpr size_t kReservedAt = 15;
constexpr size_t kSaltAt = 16;
constexpr size_t kSaltSize = 8;
constexpr size_t kCheckAt = 24;
constexpr size_t kCheckSize = 4;
constexpr size_t kForeignAt = 28;  // index flag and code page of other programs
constexpr size_t kChecksumAt = 30;
constexpr size_t kChecksumSize = 2;

// Completes the 8 random salt bytes to the 16 Argon2id takes.
constexpr char kSaltLabel[] = "sde61tk2";
static_assert(kSaltSize + sizeof(kSaltLabel) - 1 == crypto_pwhash_SALTBYTES);
// Argon2id cost: 2 passes over 32 MiB (see crypto.h for why).
constexpr unsigned long long kHashPasses = 2;
constexpr size_t kHashMemory = size_t(32) << 20;
constexpr char kCheckLabel[] = "check";

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kMemoEnd = 0x1A;

bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

void Checksum(const uint8_t* header, uint8_t* out) {
    uint8_t digest[16];
    crypto_generichash(digest, sizeof(digest), header + kMarkAt, kChecksumAt - kMarkAt, nullptr, 0);
    std::memcpy(out, digest, kChecksumSize);
}

// The mark's first two bytes, which a foreign table may hold by chance.
bool HasMarkSignature(const uint8_t* header) {
    return header[kMarkAt] == kMark0 && header[kMarkAt + 1] == kMark1;
}

void Nonce(uint8_t kind, uint32_t number, uint8_t* nonce) {
    std::memset(nonce, 0, crypto_stream_xchacha20_NONCEBYTES);
    nonce[0] = kind;
    nonce[1] = uint8_t(number);
    nonce[2] = uint8_t(number >> 8);
    nonce[3] = uint8_t(number >> 16);
    nonce[4] = uint8_t(number >> 24);
}

}  // namespace

bool HasEncryptionMark(const uint8_t* header) {
    if (!HasMarkSignature(header)) return false;
    // Other programs use these header bytes for their own purposes: only a
    // mark whose checksum holds is one, anything else is a plain table.
    // Without the library the checksum cannot be computed; the table then
    // counts as encrypted and its open says why it cannot be read.
    if (!SodiumReady()) return true;
    uint8_t sum[kChecksumSize];
    Checksum(header, sum);
    return std::memcmp(sum, header + kChecksumAt, kChecksumSize) == 0;
}

Result<TableEncryption> TableEncryption::FromKeyMaterial(std::string_view password,
                                                         const uint8_t* salt) {
    if (!SodiumReady()) return Status::IOError("The encryption library could not be started");
    uint8_t full_salt[crypto_pwhash_SALTBYTES];
    std::memcpy(full_salt, salt, kSaltSize);
    std::memcpy(full_salt + kSaltSize, kSaltLabel, sizeof(full_salt) - kSaltSize);
    TableEncryption cipher;
    if (crypto_pwhash(cipher.key_, sizeof(cipher.key_), password.data(), password.size(),
                      full_salt, kHashPasses, kHashMemory, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return Status::IOError("Not enough memory to derive the key of an encrypted table");
    }
    cipher.password_.assign(password.begin(), password.end());
    return cipher;
}

Result<TableEncryption> TableEncryption::Open(const uint8_t* header, std::string_view password,
                                              std::string_view file_name) {
    std::string name(file_name);
    if (!HasMarkSignature(header)) {
        return Status::Corruption("Table " + name + " is not encrypted");
    }
    if (!SodiumReady()) return Status::IOError("The encryption library could not be started");
    uint8_t sum[kChecksumSize];
    Checksum(header, sum);
    if (std::memcmp(sum, header + kChecksumAt, kChecksumSize) != 0) {
        return Status::Corruption("Encryption mark of table " + name + " is damaged");
    }
    if (header[kVersionAt] != kVersion) {
        return Status::NotSupported("Table " + name + " uses encryption version " +
                                    std::to_string(header[kVersionAt]) +
                                    ", which this engine does not know");
    }
    Result<TableEncryption> cipher = FromKeyMaterial(password, header + kSaltAt);
    if (!cipher.ok()) return cipher;
    uint8_t check[16];
    crypto_generichash(check, sizeof(check), reinterpret_cast<const uint8_t*>(kCheckLabel),
                       sizeof(kCheckLabel) - 1, cipher->key_, sizeof(cipher->key_));
    if (sodium_memcmp(check, header + kCheckAt, kCheckSize) != 0) {
        return Status::InvalidArgument("Wrong password for table " + name);
    }
    return cipher;
}

Result<TableEncryption> TableEncryption::Create(std::string_view password, uint8_t* header) {
    if (!SodiumReady()) return Status::IOError("The encryption library could not be started");
    uint8_t salt[kSaltSize];
    randombytes_buf(salt, sizeof(salt));
    return CreateWithSalt(password, salt, header);
}

Result<TableEncryption> TableEncryption::CreateWithSalt(std::string_view password,
                                                        const uint8_t* salt, uint8_t* header) {
    if (password.empty()) {
        return Status::InvalidArgument("An encrypted table needs a password");
    }
    Result<TableEncryption> cipher = FromKeyMaterial(password, salt);
    if (!cipher.ok()) return cipher;
    std::memset(header + kMarkAt, 0, kCryptoMarkSize);
    header[kMarkAt] = kMark0;
    header[kMarkAt + 1] = kMark1;
    header[kVersionAt] = kVersion;
    header[kReservedAt] = 0;
    std::memcpy(header + kSaltAt, salt, kSaltSize);
    uint8_t check[16];
    crypto_generichash(check, sizeof(check), reinterpret_cast<const uint8_t*>(kCheckLabel),
                       sizeof(kCheckLabel) - 1, cipher->key_, sizeof(cipher->key_));
    std::memcpy(header + kCheckAt, check, kCheckSize);
    header[kForeignAt] = 0;
    header[kForeignAt + 1] = 0;
    Checksum(header, header + kChecksumAt);
    return cipher;
}

Status TableEncryption::Renew(uint8_t* header) {
    if (!SodiumReady()) return Status::IOError("The encryption library could not be started");
    uint8_t salt[kSaltSize];
    randombytes_buf(salt, sizeof(salt));
    uint8_t renewed_header[kCryptoHeaderMin];
    std::memcpy(renewed_header, header, sizeof(renewed_header));
    std::string_view password(reinterpret_cast<const char*>(password_.data()), password_.size());
    Result<TableEncryption> renewed = CreateWithSalt(password, salt, renewed_header);
    if (!renewed.ok()) return renewed.status();
    std::memcpy(header + kMarkAt, renewed_header + kMarkAt, kCryptoMarkSize);
    sodium_memzero(renewed_header, sizeof(renewed_header));
    *this = *renewed;
    return Status::OK();
}

TableEncryption::TableEncryption(const TableEncryption& other) : password_(other.password_) {
    std::memcpy(key_, other.key_, sizeof(key_));
}

TableEncryption& TableEncryption::operator=(const TableEncryption& other) {
    if (this == &other) return *this;
    Wipe();
    std::memcpy(key_, other.key_, sizeof(key_));
    password_ = other.password_;
    return *this;
}

TableEncryption::~TableEncryption() {
    Wipe();
}

void TableEncryption::Wipe() {
    sodium_memzero(key_, sizeof(key_));
    if (!password_.empty()) sodium_memzero(password_.data(), password_.size());
    password_.clear();
}

void TableEncryption::CryptRecord(uint32_t recno, uint8_t* record, size_t length) const {
    if (length <= 1) return;
    CryptFields(recno, record + 1, length - 1);
}

void TableEncryption::CryptFields(uint32_t recno, uint8_t* fields, size_t length) const {
    if (length == 0) return;
    uint8_t nonce[crypto_stream_xchacha20_NONCEBYTES];
    Nonce('R', recno, nonce);
    crypto_stream_xchacha20_xor(fields, fields, length, nonce, key_);
}

std::string TableEncryption::EncryptMemo(uint32_t block, std::string_view text) const {
    std::string cipher(text);
    uint8_t nonce[crypto_stream_xchacha20_NONCEBYTES];
    Nonce('M', block, nonce);
    auto* bytes = reinterpret_cast<uint8_t*>(cipher.data());
    crypto_stream_xchacha20_xor(bytes, bytes, cipher.size(), nonce, key_);
    std::string payload;
    payload.reserve(cipher.size() + cipher.size() / 64 + 2);
    for (char c : cipher) {
        uint8_t b = uint8_t(c);
        if (b == kMemoEnd || b == kEscape) {
            payload.push_back(char(kEscape));
            payload.push_back(b == kMemoEnd ? 0x01 : 0x02);
        } else {
            payload.push_back(c);
        }
    }
    return payload;
}

Result<std::string> TableEncryption::DecryptMemo(uint32_t block, std::string_view payload) const {
    std::string cipher;
    cipher.reserve(payload.size());
    for (size_t i = 0; i < payload.size(); ++i) {
        uint8_t b = uint8_t(payload[i]);
        if (b == kMemoEnd) {
            return Status::Corruption("Encrypted memo at block " + std::to_string(block) +
                                      " holds a terminator byte inside its text");
        }
        if (b != kEscape) {
            cipher.push_back(char(b));
            continue;
        }
        uint8_t code = i + 1 < payload.size() ? uint8_t(payload[i + 1]) : 0;
        if (code != 0x01 && code != 0x02) {
            return Status::Corruption("Encrypted memo at block " + std::to_string(block) +
                                      " has a broken escape at byte " + std::to_string(i));
        }
        cipher.push_back(char(code == 0x01 ? kMemoEnd : kEscape));
        ++i;
    }
    uint8_t nonce[crypto_stream_xchacha20_NONCEBYTES];
    Nonce('M', block, nonce);
    auto* bytes = reinterpret_cast<uint8_t*>(cipher.data());
    crypto_stream_xchacha20_xor(bytes, bytes, cipher.size(), nonce, key_);
    return cipher;
}

Status TableEncryption::DecryptMemo(uint32_t block, std::string* text) const {
    Result<std::string> plain = DecryptMemo(block, std::string_view(*text));
    if (!plain.ok()) return plain.status();
    *text = std::move(*plain);
    return Status::OK();
}

}  // namespace sde
