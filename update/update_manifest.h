// The signed update manifest ("manifest.txt" beside the version files): the
// serial, the program version and the SHA-512 digests of "mani.zip" and
// "update.zip", signed with Ed25519. A build that carries a public key
// offers and replaces nothing unless the server's manifest is signed with
// the matching secret key and its serial is not lower than the last one
// accepted. Platform-neutral (libgcrypt).
//
// The file, byte for byte (each line ends in "\n", nothing else anywhere):
//   veilguard-manifest 1
//   serial <decimal, 1 to 18 digits, no leading zero>
//   version <1 to 15 characters from 0-9 A-Z a-z . - _>
//   mani <128 lower-case hexadecimal digits>
//   update <128 lower-case hexadecimal digits>
//   signature <128 lower-case hexadecimal digits>
// The signature covers every byte before "signature ".
#pragma once

#include <cstddef>
#include <cstdint>

enum : size_t {
    ED25519_KEY_BYTES = 32,
    ED25519_SIGNATURE_BYTES = 64,
    SHA512_BYTES = 64,
    UPDATE_MANIFEST_MAX_BYTES = 1024,  // a longer answer is no manifest
    UPDATE_MANIFEST_VERSION_CHARS = 15,
};

struct UpdateManifest {
    uint64_t serial = 0;
    char version[UPDATE_MANIFEST_VERSION_CHARS + 1] = {};
    uint8_t maniDigest[SHA512_BYTES] = {};
    uint8_t updateDigest[SHA512_BYTES] = {};
    uint8_t signature[ED25519_SIGNATURE_BYTES] = {};
    size_t signedBytes = 0;  // the bytes the signature covers, from the start
};

// Reads a manifest of exactly the form above (len bytes). False for
// anything else; out is then cleared.
bool ParseUpdateManifest(const char *text, size_t len, UpdateManifest *out);

// True when the manifest's signature over its first signedBytes bytes of
// text is valid for the public key.
bool VerifyUpdateManifest(const char *text, const UpdateManifest &manifest,
                          const uint8_t publicKey[ED25519_KEY_BYTES]);

// Whether a manifest's serial may be accepted after lastAccepted (0 when
// none was accepted yet): it may equal it (the same manifest served again)
// but never be lower.
inline bool ManifestSerialAcceptable(uint64_t serial, uint64_t lastAccepted) { return serial >= lastAccepted; }

// Reads exactly 2 * n hexadecimal digits (either case) into n bytes.
bool ParseHexBytes(const char *hex, size_t digits, uint8_t *out, size_t n);
// Writes n bytes as 2 * n lower-case digits and a NUL.
void FormatHexBytes(const uint8_t *bytes, size_t n, char *out);

// For the signing tool and the tests: a new key pair, the unsigned text of
// a manifest (into out, outSize bytes; its length, or 0 when the fields do
// not fit the form) and the signature line appended to it.
bool MakeUpdateKeyPair(uint8_t secretKey[ED25519_KEY_BYTES], uint8_t publicKey[ED25519_KEY_BYTES]);
size_t FormatUnsignedManifest(uint64_t serial, const char *version, const uint8_t maniDigest[SHA512_BYTES],
                              const uint8_t updateDigest[SHA512_BYTES], char *out, size_t outSize);
size_t SignUpdateManifest(const uint8_t secretKey[ED25519_KEY_BYTES], char *text, size_t len, size_t outSize);
