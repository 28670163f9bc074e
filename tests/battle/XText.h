#pragma once
// A plain reading of a text .x file for the data tests: the nested templates with their names, their data
// (numbers and strings, separators dropped) and their references. It understands the layout the default data
// is written in and nothing more; a malformed file makes Parse return false.

#include <string>
#include <vector>

class XText
{
public:
    struct Node {
        std::string type; // "Frame", "Mesh", "AnimationSet", ...
        std::string name;
        std::vector<std::string> data; // numbers, and strings without their quotes
        std::vector<std::string> references; // "{Name}" inside the node
        std::vector<Node> children;

        // The first child of a type, or null.
        const Node* Child(const std::string& childType) const;
        std::vector<const Node*> Children(const std::string& childType) const;
        float Number(size_t index) const { return std::stof(data.at(index)); }
        unsigned Count(size_t index) const { return static_cast<unsigned>(std::stoul(data.at(index))); }
    };

    bool Parse(const std::string& text);
    bool Load(const std::string& path);

    const std::vector<Node>& Top() const { return top; }
    // Every node of a type anywhere in the file, depth first.
    std::vector<const Node*> All(const std::string& type) const;
    std::string header;

private:
    std::vector<Node> top;
};
