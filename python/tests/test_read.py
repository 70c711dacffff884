import ternwick

def test_import():
    assert ternwick.__version__
