"""Certificates for the HTTPS tests, made by openssl in the test's own folder: a test CA and
server certificates it signs (a good one for "localhost", one for another name, an expired one),
and a self-signed one no CA vouches for. The CA is trusted by the run's Wine prefix alone,
through the registry key Wine's root store reads; the machine's own trust store is never
touched."""
import hashlib
import os
import ssl
import subprocess

from launcher_e2e import wine, wine_env

ROOT_STORE = r"HKLM\Software\Microsoft\SystemCertificates\Root\Certificates"

# A serialized certificate store element: property id, a reserved 1, the length, the bytes.
CERT_CERT_PROP_ID = 32

CA_CONFIG = """
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = {folder}
database = {folder}/index.txt
new_certs_dir = {folder}/issued
serial = {folder}/serial
default_md = sha256
policy = any_policy
copy_extensions = copy
unique_subject = no
[ any_policy ]
commonName = supplied
[ req ]
distinguished_name = name
prompt = no
[ name ]
CN = Launcher Test CA
[ ca_extensions ]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ server_extensions ]
basicConstraints = CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
authorityKeyIdentifier = keyid
"""


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


class TestCertificates:
    """The CA and the server certificates, as PEM files in folder: each server certificate is a
    (certificate file, key file) pair for nginx or the loopback server."""

    def __init__(self, folder):
        self.folder = folder
        os.makedirs(os.path.join(folder, "issued"), exist_ok=True)
        with open(os.path.join(folder, "index.txt"), "w"):
            pass
        with open(os.path.join(folder, "serial"), "w") as f:
            f.write("1000\n")
        self.config = os.path.join(folder, "ca.cnf")
        with open(self.config, "w") as f:
            f.write(CA_CONFIG.format(folder=folder))
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
                 "-days", "30", "-config", self.config, "-extensions", "ca_extensions", cwd=folder)
        self.ca = os.path.join(folder, "ca.pem")
        self.good = self._signed("good", "localhost")
        self.wrong_name = self._signed("wrong-name", "other.example")
        self.expired = self._signed("expired", "localhost", dates=("20240101000000Z", "20240201000000Z"))
        self.self_signed = self._self_signed("self-signed", "localhost")

    def _signed(self, name, host, dates=None):
        key, request, cert = (os.path.join(self.folder, f"{name}.{ext}") for ext in ("key", "csr", "pem"))
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request, "-subj", f"/CN={host}",
                 "-addext", f"subjectAltName=DNS:{host}", cwd=self.folder)
        validity = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "30"]
        _openssl("ca", "-batch", "-config", self.config, "-extensions", "server_extensions", "-keyfile", "ca.key",
                 "-cert", "ca.pem", "-in", request, "-out", cert, *validity, cwd=self.folder)
        return cert, key

    def _self_signed(self, name, host):
        key, cert = (os.path.join(self.folder, f"{name}.{ext}") for ext in ("key", "pem"))
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "30",
                 "-subj", f"/CN={host}", "-addext", f"subjectAltName=DNS:{host}", cwd=self.folder)
        return cert, key


def _ca_key(ca_pem):
    with open(ca_pem) as f:
        der = ssl.PEM_cert_to_DER_cert(f.read())
    return ROOT_STORE + "\\" + hashlib.sha1(der).hexdigest().upper(), der


def _reg(*args):
    subprocess.run(wine() + ["reg", *args], env=wine_env(), check=True, capture_output=True, timeout=120)


def trust_in_prefix(ca_pem):
    """Puts the CA into the prefix's root store; returns what undoes it."""
    key, der = _ca_key(ca_pem)
    element = (CERT_CERT_PROP_ID.to_bytes(4, "little") + (1).to_bytes(4, "little") +
               len(der).to_bytes(4, "little") + der)
    _reg("add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", element.hex(), "/f")
    return lambda: _reg("delete", key, "/f")
