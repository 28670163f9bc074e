#include "XText.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace {

struct Token {
    enum Kind
    {
        WORD,
        STRING,
        OPEN,
        CLOSE
    } kind;
    std::string text;
};

bool Tokenise(const std::string& text, size_t start, std::vector<Token>& tokens)
{
    size_t i = start;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',') {
            ++i;
        } else if (c == '{' || c == '}') {
            tokens.push_back({c == '{' ? Token::OPEN : Token::CLOSE, std::string(1, c)});
            ++i;
        } else if (c == '"') {
            const size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                return false;
            tokens.push_back({Token::STRING, text.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
                   std::string(";,{}\"").find(text[end]) == std::string::npos)
                ++end;
            tokens.push_back({Token::WORD, text.substr(i, end - i)});
            i = end;
        }
    }
    return true;
}

bool IsName(const std::string& word)
{
    return !word.empty() && (std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_');
}

// Reads "Type [Name] { ... }" starting at tokens[i].
bool ReadNode(const std::vector<Token>& tokens, size_t& i, XText::Node& node)
{
    node.type = tokens[i++].text;
    if (i < tokens.size() && tokens[i].kind == Token::WORD && IsName(tokens[i].text))
        node.name = tokens[i++].text;
    if (i >= tokens.size() || tokens[i].kind != Token::OPEN)
        return false;
    ++i;
    while (i < tokens.size()) {
        const Token& t = tokens[i];
        if (t.kind == Token::CLOSE) {
            ++i;
            return true;
        }
        if (t.kind == Token::OPEN) {
            if (i + 2 >= tokens.size() || tokens[i + 1].kind != Token::WORD || tokens[i + 2].kind != Token::CLOSE)
                return false;
            node.references.push_back(tokens[i + 1].text);
            i += 3;
        } else if (t.kind == Token::STRING) {
            node.data.push_back(t.text);
            ++i;
        } else if (IsName(t.text)) {
            XText::Node child;
            if (!ReadNode(tokens, i, child))
                return false;
            node.children.push_back(std::move(child));
        } else {
            node.data.push_back(t.text);
            ++i;
        }
    }
    return false;
}

void Collect(const XText::Node& node, const std::string& type, std::vector<const XText::Node*>& out)
{
    if (node.type == type)
        out.push_back(&node);
    for (const XText::Node& child : node.children)
        Collect(child, type, out);
}

} // namespace

const XText::Node* XText::Node::Child(const std::string& childType) const
{
    for (const Node& child : children)
        if (child.type == childType)
            return &child;
    return nullptr;
}

std::vector<const XText::Node*> XText::Node::Children(const std::string& childType) const
{
    std::vector<const Node*> out;
    for (const Node& child : children)
        if (child.type == childType)
            out.push_back(&child);
    return out;
}

bool XText::Parse(const std::string& text)
{
    top.clear();
    const size_t lineEnd = text.find('\n');
    if (lineEnd == std::string::npos)
        return false;
    header = text.substr(0, lineEnd);
    std::vector<Token> tokens;
    if (!Tokenise(text, lineEnd + 1, tokens))
        return false;
    size_t i = 0;
    while (i < tokens.size()) {
        if (tokens[i].kind != Token::WORD || !IsName(tokens[i].text))
            return false;
        Node node;
        if (!ReadNode(tokens, i, node))
            return false;
        top.push_back(std::move(node));
    }
    return true;
}

bool XText::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream buffer;
    buffer << in.rdbuf();
    return Parse(buffer.str());
}

std::vector<const XText::Node*> XText::All(const std::string& type) const
{
    std::vector<const Node*> out;
    for (const Node& node : top)
        Collect(node, type, out);
    return out;
}
