#include "folders/FolderSignature.h"

#include "folders/CFolderStore.h"
#include "common/ComBase.h"
#include "common/Holders.h"

namespace qv {
namespace {

// The element with its attributes but without its children, as markup.
std::wstring ShallowMarkup(IXMLDOMNode* node) {
  ComPtr<IXMLDOMNode> copy;
  ThrowIfFailed(node->cloneNode(VARIANT_FALSE, copy.Put()), IID_IXMLDOMNode);
  Bstr markup;
  ThrowIfFailed(copy->get_xml(markup.Put()), IID_IXMLDOMNode);
  return markup.Get() ? std::wstring(markup.Get()) : std::wstring();
}

}  // namespace

std::wstring FolderContentSignature(const CFolderStore& store, LPCITEMIDLIST absoluteList) {
  return Guarded(std::wstring(), [&] {
    ComPtr<IXMLDOMNode> node = store.FindFolderNode(absoluteList);
    if (!node) return std::wstring();
    std::wstring signature = ShallowMarkup(node.Get());
    ComPtr<IXMLDOMNode> child;
    ThrowIfFailed(node->get_firstChild(child.Put()), IID_IXMLDOMNode);
    while (child) {
      DOMNodeType type = NODE_INVALID;
      child->get_nodeType(&type);
      if (type == NODE_ELEMENT) {
        VARIANT_BOOL below = VARIANT_FALSE;
        child->hasChildNodes(&below);
        signature += L'\n';
        signature += ShallowMarkup(child.Get());
        signature += below == VARIANT_TRUE ? L'+' : L'-';
      }
      ComPtr<IXMLDOMNode> next;
      if (FAILED(child->get_nextSibling(next.Put()))) break;
      child = next;
    }
    return signature;
  });
}

}  // namespace qv
