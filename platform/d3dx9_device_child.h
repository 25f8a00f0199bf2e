#pragma once
// The COM plumbing shared by the D3DX objects made on a device: a reference count starting at
// 1, deletion at 0, and a reference to the device held for the object's life.
#include "platform/d3d9.h"

template <class Interface>
class D3DXDeviceChild : public Interface {
 public:
  explicit D3DXDeviceChild(IDirect3DDevice9* device) : device_(device) { device_->AddRef(); }

  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT GetDevice(IDirect3DDevice9** device) override {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

 protected:
  ~D3DXDeviceChild() override { device_->Release(); }

  IDirect3DDevice9* const device_;

 private:
  ULONG references_ = 1;
};
